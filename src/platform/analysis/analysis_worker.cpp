#include "platform/analysis/analysis_worker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "platform/analysis/analyze_file.h"

namespace korvex::analysis {
namespace {

// Analyses kept in memory for the decks (each a few kilobytes); the rest stay on disk.
constexpr std::size_t kKeptInMemory = 64;
// Below the decoders (nice 10): a busy machine takes its time from analysis first.
constexpr int kAnalysisNice = 15;

}  // namespace

AnalysisWorker::AnalysisWorker(AnalysisCache cache) : cache_(std::move(cache)) {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // Without the thread nothing is analysed; the decks play as ever and show no tempo.
        std::fprintf(stderr, "korvex: no thread for song analysis; tempo figures stay empty\n");
    }
}

AnalysisWorker::~AnalysisWorker() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void AnalysisWorker::request(const std::string& path, Priority priority) {
    if (path.empty()) return;
    {
        std::lock_guard lock(mutex_);
        if (priority == Priority::Deck) {
            // A deck's song goes first, even when a list asked for it before.
            std::erase(listQueue_, path);
            if (std::find(deckQueue_.begin(), deckQueue_.end(), path) == deckQueue_.end())
                deckQueue_.push_back(path);
        } else if (!known_.contains(path) &&
                   std::find(listQueue_.begin(), listQueue_.end(), path) == listQueue_.end() &&
                   std::find(deckQueue_.begin(), deckQueue_.end(), path) == deckQueue_.end()) {
            listQueue_.push_back(path);
        }
    }
    changed_.notify_all();
}

std::shared_ptr<const TrackAnalysis> AnalysisWorker::find(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = known_.find(path);
    return it == known_.end() ? nullptr : it->second;
}

void AnalysisWorker::waitIdle() const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_ && deckQueue_.empty() && listQueue_.empty(); });
}

void AnalysisWorker::keep(const std::string& path, std::shared_ptr<const TrackAnalysis> analysis) {
    std::erase(order_, path);
    order_.push_front(path);
    known_[path] = std::move(analysis);
    while (order_.size() > kKeptInMemory) {
        known_.erase(order_.back());
        order_.pop_back();
    }
}

void AnalysisWorker::run() {
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kAnalysisNice);
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stop_.load() || !deckQueue_.empty() || !listQueue_.empty(); });
        if (stop_.load()) return;
        const bool forDeck = !deckQueue_.empty();
        std::deque<std::string>& queue = forDeck ? deckQueue_ : listQueue_;
        const std::string path = queue.front();
        queue.pop_front();
        busy_ = true;
        lock.unlock();

        std::shared_ptr<const TrackAnalysis> result;
        const std::optional<FileIdentity> identity = identify(path);
        bool known = false;
        {
            std::lock_guard again(mutex_);
            const auto failed = failed_.find(path);
            known = (identity && failed != failed_.end() && failed->second == *identity);
        }
        if (identity && !known) {
            if (std::optional<TrackAnalysis> cached = cache_.load(path)) {
                result = std::make_shared<const TrackAnalysis>(std::move(*cached));
            } else {
                std::string error;
                std::optional<TrackAnalysis> fresh = analyzeFile(path, error, &stop_);
                if (!stop_.load()) analysesRun_.fetch_add(1);
                if (fresh) {
                    // Stored with the identity the file had before it was read: a file changed meanwhile
                    // no longer matches its entry and is analysed again next time.
                    if (!cache_.store(path, *identity, *fresh))
                        std::fprintf(stderr, "korvex: cannot write the analysis of %s to %s\n", path.c_str(),
                                     cache_.folder().c_str());
                    result = std::make_shared<const TrackAnalysis>(std::move(*fresh));
                } else if (!stop_.load()) {
                    std::lock_guard again(mutex_);
                    failed_[path] = *identity;
                }
            }
        }

        lock.lock();
        // A list's song is kept on disk only: the decks ask again when they load it.
        if (result && forDeck) keep(path, std::move(result));
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace korvex::analysis
