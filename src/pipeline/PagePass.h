#pragma once

// The page loop of a layout on a thread of its own, run while the build's own thread makes the
// keyword index and then collects the search data of the same pages. Each page is read once, by
// the loop, which hands it over before it rewrites it; the search stages take it from there
// instead of reading the page again. Cutting a page into what the search keeps (readSearchPage)
// is done by whichever thread has time for it: the loop, while a page it handed over still waits,
// else the search stages themselves.
//
// Everything the loop tells its progress (log texts, done and failed items, checkpoints) is kept
// and told to the build's progress later, at the place where the loop used to run, so the log,
// the failed items and the checkpoints come in the order they always came. A stop or a pause of
// the build reaches the loop at its own checkpoints as well.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "pages/HtmlProcessor.h"
#include "pages/Progress.h"
#include "pipeline/SearchIndex.h"
#include "platform/Outcome.h"

namespace plovik {

class PagePass final : private Progress, private PageTap {
public:
    // `stopRequested` and `paused` are the build's; the loop looks at them at its checkpoints.
    // The pages handed over wait for the search stages up to about `heldBytes`.
    PagePass(const std::atomic<bool>& stopRequested, const std::atomic<bool>& paused,
             WordSplit split, std::size_t heldBytes = kHeldBytes);
    // Lets the loop go at its next checkpoint and waits for it.
    ~PagePass() override;
    PagePass(const PagePass&) = delete;
    PagePass& operator=(const PagePass&) = delete;

    // What the processor must report to, and hand its pages to (SetPageTap), before start().
    Progress& progress() { return *this; }
    PageTap& tap() { return *this; }

    // Runs the processor's WriteSitePages(firstTopic), then ProcessAllPages, on the thread.
    void start(CHtmlProcessor& processor, std::string firstTopic);

    // Page `index` as the loop read it, before it rewrote it; pages are taken in order. A page
    // the loop never reached (it ended early) is read from `path`, which it did not touch.
    SearchPage take(std::size_t index, const std::string& path);

    // Waits for the loop to end; then tells `to` what WriteSitePages told and returns its outcome.
    Outcome replaySitePages(Progress& to);
    enum class Ending { Done, Stopped, Failed };
    // Then what every page told, with the checkpoints between pages taken on `to`.
    Ending replayPages(Progress& to);

    static constexpr std::size_t kHeldBytes = std::size_t{4} << 20;

private:
    // Progress, on the loop's thread: kept for the replay.
    void log(std::string_view text, int lParam) override;
    bool checkStop() override;
    void itemDone() override;
    void itemFailed(std::string_view item, std::string_view reason) override;
    // PageTap, on the loop's thread.
    void pageRead(std::size_t index, const std::optional<std::string>& bytes) override;

    enum class Kind { Log, ItemDone, ItemFailed, Checkpoint, SitePagesDone };
    struct Record {
        Kind kind;
        int lParam;
        std::size_t at;       // its texts in texts_
        std::size_t length;   // of the first (the log text, the item)
        std::size_t length2;  // of the second (the reason)
    };
    void record(Kind kind, std::string_view text = {}, std::string_view text2 = {}, int lParam = 0);
    void wait();
    bool replay(Progress& to, std::size_t& next, Kind until);

    const std::atomic<bool>& stopRequested_;
    const std::atomic<bool>& paused_;
    const WordSplit split_;
    const std::size_t heldBytes_;
    std::atomic<bool> abandoned_{false};

    // Written by the loop's thread only, read once it has been joined.
    std::vector<Record> records_;
    std::string texts_;
    Outcome site_;
    bool pagesDone_ = false;
    bool crashed_ = false;
    std::size_t replayed_ = 0;

    struct Held {
        std::size_t index;
        std::optional<std::string> bytes;  // the page as read, when it is not cut yet
        std::optional<SearchPage> page;    // the page cut, when the loop did it
        std::size_t size;                  // of the page's bytes
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Held> held_;
    std::size_t heldSize_ = 0;
    bool loopEnded_ = false;
    std::thread thread_;
};

// True when the page loop may run beside the keyword index and the search stages: no page is
// read or written by what the others write (the layout's own pages `sitePages`, the index and
// search pages, the data under js/), no page is the index file `indexFile` that the keyword index
// reads, no page of the layout's is one that the others write, and no page is listed twice (the
// loop rewrites a page listed twice twice, and the search reads it so).
bool pagesStandApart(const std::vector<std::string>& pages,
                     const std::vector<std::string>& sitePages, const std::string& indexFile = {});

}  // namespace plovik
