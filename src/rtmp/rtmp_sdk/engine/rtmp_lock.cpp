#include <cstdlib>

#include "rtmp/rtmp_sdk/engine/rtmp_internal.h"
#include "rtmp/rtmp_sdk/engine/rtmp_log.h"

namespace rtmp_engine {

ConnectionLock::ConnectionLock(RTMP* r) : mutex_(r->m_mutux) {
    if (mutex_ != nullptr && pthread_mutex_lock(mutex_) != 0) {
        RTMP_LOGE("%s, lock mutex failed", __func__);
        mutex_ = nullptr;
    }
}

ConnectionLock::~ConnectionLock() {
    if (mutex_ != nullptr && pthread_mutex_unlock(mutex_) != 0) RTMP_LOGE("%s, unlock mutex failed", __func__);
}

void CreateLock(RTMP* r) {
    if (r->m_mutux != nullptr) return;  // re-initialising keeps the one lock
    auto* mutex = static_cast<pthread_mutex_t*>(malloc(sizeof(pthread_mutex_t)));
    if (mutex == nullptr) {
        RTMP_LOGE("%s, malloc mutex failed", "RTMP_Init");
        return;
    }
    if (pthread_mutex_init(mutex, nullptr) != 0) {
        RTMP_LOGE("%s, create mutex failed", "RTMP_Init");
        free(mutex);
        return;
    }
    r->m_mutux = mutex;
}

void DestroyLock(RTMP* r) {
    if (r->m_mutux == nullptr) return;
    if (pthread_mutex_destroy(r->m_mutux) != 0) RTMP_LOGE("%s, destroy mutex failed", "RTMP_Free");
    free(r->m_mutux);
    r->m_mutux = nullptr;
}

}  // namespace rtmp_engine
