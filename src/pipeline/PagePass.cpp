#include "pipeline/PagePass.h"

#include <chrono>
#include <new>
#include <unordered_set>

#include "platform/TextFile.h"
#include "text/AsciiCase.h"

namespace plovik {

PagePass::PagePass(const std::atomic<bool>& stopRequested, const std::atomic<bool>& paused,
                   WordSplit split, std::size_t heldBytes)
    : stopRequested_(stopRequested), paused_(paused), split_(split), heldBytes_(heldBytes) {}

PagePass::~PagePass() {
    abandoned_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
}

void PagePass::start(CHtmlProcessor& processor, std::string firstTopic) {
    thread_ = std::thread([this, &processor, firstTopic = std::move(firstTopic)] {
        try {
            site_ = processor.WriteSitePages(firstTopic);
            record(Kind::SitePagesDone);
            if (site_)
                pagesDone_ = processor.ProcessAllPages();
        } catch (const std::bad_alloc&) {
            // The pages not reached are as extraction left them; the replay says the build failed.
            crashed_ = true;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        loopEnded_ = true;
        changed_.notify_all();
    });
}

void PagePass::record(Kind kind, std::string_view text, std::string_view text2, int lParam) {
    records_.push_back({kind, lParam, texts_.size(), text.size(), text2.size()});
    texts_ += text;
    texts_ += text2;
}

void PagePass::log(std::string_view text, int lParam) {
    record(Kind::Log, text, {}, lParam);
}

void PagePass::itemDone() {
    record(Kind::ItemDone);
}

void PagePass::itemFailed(std::string_view item, std::string_view reason) {
    record(Kind::ItemFailed, item, reason);
}

bool PagePass::checkStop() {
    record(Kind::Checkpoint);
    // The build's own checkpoint, when the replay reaches this one, logs the stop; here the loop
    // only ends, or waits while the build is paused.
    for (;;) {
        if (abandoned_ || stopRequested_)
            return true;
        if (!paused_)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void PagePass::pageRead(std::size_t index, const std::optional<std::string>& bytes) {
    const std::size_t size = bytes ? bytes->size() : 0;
    Held held{index, std::nullopt, std::nullopt, size};
    bool behind = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        behind = !held_.empty();
    }
    // The search stages have pages waiting: they would not get to cutting this one soon.
    if (behind)
        held.page = readSearchPage(bytes, split_);
    else
        held.bytes = bytes;
    std::unique_lock<std::mutex> lock(mutex_);
    // The search stages may be far behind; the loop waits rather than hold a big help in memory.
    changed_.wait(lock, [&] { return abandoned_ || held_.empty() || heldSize_ < heldBytes_; });
    if (abandoned_)
        return;
    held_.push_back(std::move(held));
    heldSize_ += size;
    changed_.notify_all();
}

SearchPage PagePass::take(std::size_t index, const std::string& path) {
    std::optional<Held> held;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !held_.empty() || loopEnded_; });
        // Pages come in order, so anything before `index` was not asked for: it is let go.
        while (!held_.empty() && held_.front().index < index) {
            heldSize_ -= held_.front().size;
            held_.pop_front();
        }
        if (!held_.empty() && held_.front().index == index) {
            held = std::move(held_.front());
            heldSize_ -= held->size;
            held_.pop_front();
            changed_.notify_all();
        }
    }
    if (!held)
        return readSearchPage(readBinaryFile(path), split_);
    if (held->page)
        return std::move(*held->page);
    return readSearchPage(held->bytes, split_);
}

void PagePass::wait() {
    if (thread_.joinable())
        thread_.join();
}

bool PagePass::replay(Progress& to, std::size_t& next, Kind until) {
    for (; next < records_.size(); ++next) {
        const Record& r = records_[next];
        const std::string_view text = std::string_view(texts_).substr(r.at, r.length);
        switch (r.kind) {
            case Kind::Log:
                to.log(text, r.lParam);
                break;
            case Kind::ItemDone:
                to.itemDone();
                break;
            case Kind::ItemFailed:
                to.itemFailed(text, std::string_view(texts_).substr(r.at + r.length, r.length2));
                break;
            case Kind::Checkpoint:
                if (to.checkStop()) {
                    ++next;
                    return false;
                }
                break;
            case Kind::SitePagesDone:
                break;
        }
        if (r.kind == until) {
            ++next;
            return true;
        }
    }
    return true;
}

Outcome PagePass::replaySitePages(Progress& to) {
    wait();
    replay(to, replayed_, Kind::SitePagesDone);
    return site_;
}

PagePass::Ending PagePass::replayPages(Progress& to) {
    wait();
    // Every page ends at a checkpoint, where the build's own decides whether it goes on.
    if (!replay(to, replayed_, Kind::SitePagesDone))
        return Ending::Stopped;
    if (pagesDone_)
        return Ending::Done;
    // The loop ended before its last page and the build was not stopped: memory ran out.
    return to.checkStop() ? Ending::Stopped : Ending::Failed;
}

bool pagesStandApart(const std::vector<std::string>& pages,
                     const std::vector<std::string>& sitePages, const std::string& indexFile) {
    // The keyword index and the search write these; the layout must not write them as well.
    const std::unordered_set<std::string> others = {"helpindex.html", "helpsearch.html",
                                                    "js/indexdata.js", "js/keywords.js",
                                                    "js/searchdata.js"};
    std::unordered_set<std::string> written = others;
    for (const std::string& name : sitePages) {
        std::string lowered = asciiLowered(name);
        if (others.count(lowered) || lowered.starts_with("js/search/"))
            return false;
        written.insert(std::move(lowered));
    }
    if (!indexFile.empty())
        written.insert(asciiLowered(indexFile));
    std::unordered_set<std::string> seen;
    seen.reserve(pages.size());
    for (const std::string& page : pages) {
        std::string name = asciiLowered(page);
        // The search stages write below js/; a file system that ignores case could make two
        // names one file.
        if (name.starts_with("js/") || written.count(name) || !seen.insert(std::move(name)).second)
            return false;
    }
    return true;
}

}  // namespace plovik
