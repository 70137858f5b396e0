#include "platform/dialog/HtmlDialog.h"

#include "platform/dialog/DialogHost.h"

namespace plovik {

using nlohmann::json;

void CDataExchange::bind(const char* id, Kind kind, std::string* text, int* number) {
    bindings_.push_back({id, kind, text, number});
}

namespace {

const char* propertyOf(CDataExchange::Kind kind) {
    switch (kind) {
        case CDataExchange::Kind::Value:
            return "value";
        case CDataExchange::Kind::Radio:
            return "radio";
        case CDataExchange::Kind::SelectIndex:
            return "selectedIndex";
        case CDataExchange::Kind::CheckBox:
            return "checked";
    }
    return "value";
}

}  // namespace

bool CDataExchange::run() {
    if (bindings_.empty())
        return true;
    json commands = json::array();
    for (const Binding& b : bindings_) {
        json c = {
            {"c", m_bSaveAndValidate ? "get" : "set"}, {"id", b.id}, {"p", propertyOf(b.kind)}};
        if (!m_bSaveAndValidate) {
            if (b.kind == Kind::Value)
                c["v"] = *b.text;
            else if (b.kind == Kind::CheckBox)
                c["v"] = *b.number != 0;
            else
                c["v"] = *b.number;
        }
        commands.push_back(std::move(c));
    }
    json results = m_pDlgWnd->RunCommands(commands);
    if (!results.is_array() || results.size() != bindings_.size())
        return false;
    if (!m_bSaveAndValidate)
        return true;
    for (size_t i = 0; i < bindings_.size(); ++i) {
        const json& r = results[i];
        const Binding& b = bindings_[i];
        // A missing element leaves its value as it was, as the framework's exchange does.
        if (r.is_null())
            continue;
        if (b.kind == Kind::Value && r.is_string())
            *b.text = r.get<std::string>();
        else if (b.kind == Kind::CheckBox && r.is_boolean())
            *b.number = r.get<bool>() ? 1 : 0;
        else if (r.is_number_integer())
            *b.number = r.get<int>();
    }
    return true;
}

void DDX_DHtml_ElementValue(CDataExchange* dx, const char* id, std::string& value) {
    dx->bind(id, CDataExchange::Kind::Value, &value, nullptr);
}
void DDX_DHtml_Radio(CDataExchange* dx, const char* id, int& index) {
    dx->bind(id, CDataExchange::Kind::Radio, nullptr, &index);
}
void DDX_DHtml_SelectIndex(CDataExchange* dx, const char* id, int& index) {
    dx->bind(id, CDataExchange::Kind::SelectIndex, nullptr, &index);
}
void DDX_DHtml_CheckBox(CDataExchange* dx, const char* id, int& checked) {
    dx->bind(id, CDataExchange::Kind::CheckBox, nullptr, &checked);
}

CDHtmlDialog::CDHtmlDialog(DialogHost& host, std::string page, std::string caption, int width,
                           int height)
    : m_host(host),
      page_(std::move(page)),
      caption_(std::move(caption)),
      width_(width),
      height_(height),
      window_([this](unsigned m, WPARAM w, LPARAM l) { return WindowProc(m, w, l); }) {}

CDHtmlDialog::~CDHtmlDialog() {
    window_.close();
    if (id_ != 0)
        m_host.closeDialog(*this);
}

INT_PTR CDHtmlDialog::DoModal() {
    ended_ = false;
    loaded_ = false;
    result_ = IDCANCEL;
    OnInitDialog();
    m_host.openDialog(*this);
    while (!ended_)
        m_host.pumpOnce(std::chrono::milliseconds(100));
    m_host.closeDialog(*this);
    return result_;
}

void CDHtmlDialog::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    window_.wake();  // the loop notices `ended_` at once
}

void CDHtmlDialog::OnDocumentComplete() {
    UpdateData(false);
}

LRESULT CDHtmlDialog::WindowProc(unsigned message, WPARAM, LPARAM) {
    if (message == WM_CLOSE)
        EndDialog(IDCANCEL);
    return 0;
}

bool CDHtmlDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return dx.run();
}

json CDHtmlDialog::RunCommands(const json& commands) {
    if (id_ == 0)
        return json::array();
    return m_host.command(id_, commands);
}

namespace {
json first(const json& results) {
    return results.is_array() && !results.empty() ? results[0] : json();
}
}  // namespace

bool CDHtmlDialog::ClickElement(const std::string& id) {
    return first(RunCommands(json::array({{{"c", "click"}, {"id", id}}}))) == true;
}

bool CDHtmlDialog::SetElementHtml(const std::string& id, const std::string& html) {
    return first(RunCommands(json::array({{{"c", "html"}, {"id", id}, {"v", html}}}))) == true;
}

bool CDHtmlDialog::ElementExists(const std::string& id) {
    return first(RunCommands(json::array({{{"c", "exists"}, {"id", id}}}))) == true;
}

json CDHtmlDialog::GetElementProperty(const std::string& id, const std::string& property) {
    return first(RunCommands(json::array({{{"c", "get"}, {"id", id}, {"p", property}}})));
}

bool CDHtmlDialog::SetElementProperty(const std::string& id, const std::string& property,
                                      const json& value) {
    return first(RunCommands(
               json::array({{{"c", "set"}, {"id", id}, {"p", property}, {"v", value}}}))) == true;
}

std::optional<std::string> CDHtmlDialog::GetElementValue(const std::string& id) {
    json v = GetElementProperty(id, "value");
    if (!v.is_string())
        return std::nullopt;
    return v.get<std::string>();
}

bool CDHtmlDialog::SetElementValue(const std::string& id, const std::string& value) {
    return SetElementProperty(id, "value", value);
}

void CDHtmlDialog::DHtmlEvent(Event event, std::string id, std::function<void()> handler) {
    events_.push_back({event, std::move(id), std::move(handler)});
}

void CDHtmlDialog::handleEvent(Event event, const std::string& id) {
    for (const auto& e : events_) {
        if (e.event == event && e.id == id) {
            e.handler();
            return;
        }
    }
    OnOtherEvent(event, id);
}

void CDHtmlDialog::handleLoaded() {
    if (!loaded_) {
        loaded_ = true;
        OnDocumentComplete();
    } else {
        OnPageReloaded();
    }
}

}  // namespace plovik
