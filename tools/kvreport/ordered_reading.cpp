#include "tools/kvreport/ordered_reading.h"

#include "tools/kvreport/report_reader.h"

#include "device/win_handles.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kvreport {
namespace {

// How far the workers may run ahead of the report handed on last, per thread.
const size_t kAheadPerThread = 2;

struct Slot {
    bool finished = false;
    std::wstring error;
};

class OrderedReading {
public:
    OrderedReading(const std::vector<std::wstring>& paths,
                   const std::function<void(size_t, const Report&)>& work, size_t window)
        : m_paths(paths), m_work(work), m_slots(paths.size()), m_window(window)
    {
    }

    // A worker thread: takes the next path while it is within the window of the one done last.
    void Work()
    {
        kv::ComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        ReportReader reader;
        for (;;) {
            size_t index = 0;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&] { return m_next >= m_paths.size() || m_next < m_handed + m_window; });
                if (m_next >= m_paths.size())
                    return;
                index = m_next++;
            }
            std::wstring error;
            {
                Report report;
                if (reader.Read(m_paths[index], report, error))
                    m_work(index, report);
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_slots[index].finished = true;
            m_slots[index].error.swap(error);
            m_changed.notify_all();
        }
    }

    // The calling thread: each report in order, as soon as it is finished.
    void HandOn(const std::function<void(size_t, const std::wstring&)>& done)
    {
        for (size_t index = 0; index < m_paths.size(); ++index) {
            std::wstring error;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&] { return m_slots[index].finished; });
                error.swap(m_slots[index].error);
            }
            done(index, error);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_handed = index + 1;
            m_changed.notify_all();
        }
    }

private:
    const std::vector<std::wstring>& m_paths;
    const std::function<void(size_t, const Report&)>& m_work;
    std::vector<Slot> m_slots;
    size_t m_window;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_next = 0;    // the next path a worker takes
    size_t m_handed = 0;  // paths handed on so far
};

unsigned ProcessorCount()
{
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return std::max<unsigned>(1, info.dwNumberOfProcessors);
}

}  // namespace

void ReadReportsInOrder(const std::vector<std::wstring>& paths,
                        const std::function<void(size_t index, const Report& report)>& work,
                        const std::function<void(size_t index, const std::wstring& error)>& done,
                        unsigned threads)
{
    size_t workerCount = std::min<size_t>(threads ? threads : ProcessorCount(), paths.size());
    OrderedReading reading(paths, work, workerCount * kAheadPerThread);
    std::vector<std::thread> workers;
    for (size_t i = 0; i < workerCount; ++i)
        workers.emplace_back([&reading] { reading.Work(); });
    reading.HandOn(done);
    for (std::thread& worker : workers)
        worker.join();
}

}  // namespace kvreport
