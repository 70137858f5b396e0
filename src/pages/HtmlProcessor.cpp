#include "pages/HtmlProcessor.h"

#include "build/BuildJob.h"
#include "platform/TextFile.h"

namespace plovik {

// Placeholders until the page processors land.
CHtmlProcessor::CHtmlProcessor(BuildJob& job) : m_job(job) {}
CHtmlProcessor::~CHtmlProcessor() = default;
bool CHtmlProcessor::ProcessPage(const std::string&, const std::string&, int, const std::string&) {
    return true;
}
bool CHtmlProcessor::ProcessAllPages() { return true; }
bool CHtmlProcessor::BuildNavigationBar(const std::string&) { return true; }
bool CHtmlProcessor::BuildRelatedTopics(const std::string&) { return false; }
void CHtmlProcessor::InsertAfterBodyTag(std::string&, std::string_view) {}
void CHtmlProcessor::InsertBeforeBodyEnd(std::string&, std::string_view) {}
bool CHtmlProcessor::RemoveText(std::string&, std::string_view) { return false; }
bool CHtmlProcessor::ExtractTitle(const std::string&) { return false; }
bool CHtmlProcessor::MakeRelativeLink(std::string_view, std::string_view, std::string*) {
    return false;
}
void CHtmlProcessor::DecodeLocal(std::string&) {}
std::optional<std::string> CHtmlProcessor::ReadWholeFile(const std::string& path) {
    return readBinaryFile(path);
}

}  // namespace plovik
