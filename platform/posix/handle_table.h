// The handles one part of the host layer has given out and not yet taken back.
// A stale, forged or twice-closed handle is refused by a look-up here, never by
// reading memory it may no longer own, as the platform's handle table refuses it.
#ifndef LUMIVARDEN_POSIX_HANDLE_TABLE_H
#define LUMIVARDEN_POSIX_HANDLE_TABLE_H

#include <pthread.h>

#include <set>

namespace lumivarden::host {

template <typename Object>
class HandleTable {
  public:
    // The object behind a live handle, or null.
    Object* Find(const void* handle) {
        const Guard guard(mutex_);
        return live_.count(handle) != 0 ? static_cast<Object*>(const_cast<void*>(handle)) : nullptr;
    }

    void Add(Object* object) {
        const Guard guard(mutex_);
        live_.insert(object);
    }

    // Takes the handle back; the object, now the caller's to release, or null
    // when the handle was not live.
    Object* Remove(const void* handle) {
        const Guard guard(mutex_);
        return live_.erase(handle) != 0 ? static_cast<Object*>(const_cast<void*>(handle)) : nullptr;
    }

  private:
    // A plain mutex: std::mutex would link the C++ library's exception
    // machinery into the lean program.
    class Guard {
      public:
        explicit Guard(pthread_mutex_t& mutex) : mutex_(mutex) { pthread_mutex_lock(&mutex_); }
        ~Guard() { pthread_mutex_unlock(&mutex_); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

      private:
        pthread_mutex_t& mutex_;
    };

    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
    std::set<const void*> live_;
};

}  // namespace lumivarden::host

#endif
