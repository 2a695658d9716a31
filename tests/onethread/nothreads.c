/* Preloaded into the program by the one-thread test: every start of a thread
   ends the run at once, so a command that still starts a helper while
   ZELTA_ONE_THREAD is set cannot pass the test by falling back quietly. */
#include <pthread.h>
#include <stdlib.h>
#include <unistd.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
  static const char msg[] = "nothreads: a thread was started\n";
  (void)thread, (void)attr, (void)start, (void)arg;
  (void)!write(2, msg, sizeof msg - 1);
  abort();
}
