#include <pthread.h>

#include "thread_name.h"

namespace qvlink::records {

void NameThisThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
}

}  // namespace qvlink::records
