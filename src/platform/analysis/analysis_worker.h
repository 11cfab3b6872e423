#pragma once
// The analysis worker: one thread below normal priority that analyses songs once, keeps their analyses
// on disk and the recent ones in memory.
//
// Why it is shaped this way: analysing a song takes about a second of a core, far too long for the
// interface thread and unthinkable on the audio thread, and the decks must play at once. So a load only
// asks (request() queues the path and returns), and the deck display looks the answer up on its timer
// tick (find()) until it is there. A song loaded on a deck goes before songs merely added to a list; a
// song whose cache entry matches the file is only read, not analysed. The worker thread is the only one
// that decodes or writes entries; find() and request() take a short lock and never touch the disk.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/analysis/analysis_cache.h"
#include "platform/analysis/track_analysis.h"

namespace korvex::analysis {

// Where a deck or the program looks analyses up; the worker is the real one.
class AnalysisSource {
public:
    enum class Priority { Deck, List };
    virtual ~AnalysisSource() = default;
    // Asks for the analysis of `path`; returns at once. Not on the audio thread.
    virtual void request(const std::string& path, Priority priority) = 0;
    // The analysis of `path` once it is known (null until then, and for a file that cannot be analysed).
    virtual std::shared_ptr<const TrackAnalysis> find(const std::string& path) const = 0;
};

class AnalysisWorker final : public AnalysisSource {
public:
    explicit AnalysisWorker(AnalysisCache cache = AnalysisCache());
    // Stops the analysis in progress and joins the thread.
    ~AnalysisWorker() override;
    AnalysisWorker(const AnalysisWorker&) = delete;
    AnalysisWorker& operator=(const AnalysisWorker&) = delete;

    void request(const std::string& path, Priority priority) override;
    std::shared_ptr<const TrackAnalysis> find(const std::string& path) const override;

    // Waits until nothing is queued or being analysed (tests and tools). Never on the interface thread of
    // a running player.
    void waitIdle() const;
    // Songs analysed from their samples so far (cache hits do not count).
    int analysesRun() const { return analysesRun_.load(); }
    const AnalysisCache& cache() const { return cache_; }

private:
    void run();
    // Keeps `analysis` as the latest of `path` in memory, forgetting the oldest beyond kKeptInMemory.
    void keep(const std::string& path, std::shared_ptr<const TrackAnalysis> analysis);

    AnalysisCache cache_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<std::string> deckQueue_;
    std::deque<std::string> listQueue_;
    // Analyses in memory, the most recent at the front of `order_`.
    std::unordered_map<std::string, std::shared_ptr<const TrackAnalysis>> known_;
    std::list<std::string> order_;
    // Songs that could not be analysed, so a list of broken files is not tried on every request.
    std::unordered_map<std::string, FileIdentity> failed_;
    bool busy_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> analysesRun_{0};
    std::thread thread_;
};

}  // namespace korvex::analysis
