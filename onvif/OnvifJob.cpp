#include "onvif/OnvifJob.h"

#include <chrono>
#include <exception>

COnvifJob::~COnvifJob() {
    Cancel();
    if (m_thread.joinable()) m_thread.join();
}

bool COnvifJob::Start(std::function<void(const COnvifCancel&)> work, std::function<void()> done) {
    if (m_thread.joinable()) return false;
    try {
        m_thread = std::thread([this, work, done] {
            work(m_cancel);
            {
                CMutexLock hold(m_lock);
                m_bDone = true;
            }
            m_ended.notify_all();
            if (done) done();
        });
    } catch (const std::exception&) {
        // No thread (std::system_error), or no memory for the work's copy.
        return false;
    }
    return true;
}

bool COnvifJob::Wait(int ms) {
    CMutexLock hold(m_lock);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_bDone) {
        if (m_ended.wait_until(hold.Native(), until) == std::cv_status::timeout) break;
    }
    return m_bDone;
}
