// The shipped Linux plug-ins load on glibc 2.31 and later, though they are built on a newer one.
// A library linked against glibc 2.34+ asks for the newest version of every C-library symbol it
// calls: the pthread calls moved into libc at 2.34 (GLIBC_2.34), stat and fstat64 became real
// functions at 2.33, and the statically linked C++ runtime adds __libc_single_threaded (2.32) and
// arc4random (2.36). A loader older than the newest of these refuses the library outright.
//
// The link (-Wl,--wrap=NAME, see CMakeLists.txt) sends every reference to these names, the C++
// runtime's included, to the __wrap_NAME below, which calls the oldest version of the symbol
// (.symver) or does without it. The build checks the result (build.sh).
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

// A wrapper that calls NAME at an older version, with the given parameters and arguments.
#define CALL_AT_VERSION(result, name, version, parameters, arguments)              \
    result floor_##name parameters;                                                 \
    __asm__(".symver floor_" #name "," #name "@" version);                          \
    result __wrap_##name parameters { return floor_##name arguments; }

extern "C" {

// The pthread calls: in libpthread.so.0 before 2.34, which the plug-in therefore names as needed
// (CMakeLists.txt); 2.34 and later keep these versions in libc.so.6.
CALL_AT_VERSION(int, pthread_create, "GLIBC_2.2.5",
                (pthread_t * thread, const pthread_attr_t* attributes, void* (*start)(void*),
                 void* argument),
                (thread, attributes, start, argument))
CALL_AT_VERSION(int, pthread_join, "GLIBC_2.2.5", (pthread_t thread, void** result),
                (thread, result))
CALL_AT_VERSION(int, pthread_detach, "GLIBC_2.2.5", (pthread_t thread), (thread))
CALL_AT_VERSION(int, pthread_once, "GLIBC_2.2.5", (pthread_once_t * once, void (*routine)()),
                (once, routine))
CALL_AT_VERSION(int, pthread_key_create, "GLIBC_2.2.5",
                (pthread_key_t * key, void (*destructor)(void*)), (key, destructor))
CALL_AT_VERSION(int, __pthread_key_create, "GLIBC_2.2.5",
                (pthread_key_t * key, void (*destructor)(void*)), (key, destructor))
CALL_AT_VERSION(int, pthread_key_delete, "GLIBC_2.2.5", (pthread_key_t key), (key))
CALL_AT_VERSION(void*, pthread_getspecific, "GLIBC_2.2.5", (pthread_key_t key), (key))
CALL_AT_VERSION(int, pthread_setspecific, "GLIBC_2.2.5", (pthread_key_t key, const void* value),
                (key, value))
CALL_AT_VERSION(int, pthread_mutex_trylock, "GLIBC_2.2.5", (pthread_mutex_t * mutex), (mutex))
CALL_AT_VERSION(int, pthread_sigmask, "GLIBC_2.2.5",
                (int how, const sigset_t* set, sigset_t* previous), (how, set, previous))
CALL_AT_VERSION(int, pthread_cond_clockwait, "GLIBC_2.30",
                (pthread_cond_t * condition, pthread_mutex_t* mutex, clockid_t clock,
                 const struct timespec* until),
                (condition, mutex, clock, until))

// The loader calls: in libdl.so.2 before 2.34, named as needed likewise.
CALL_AT_VERSION(void*, dlopen, "GLIBC_2.2.5", (const char* file, int mode), (file, mode))
CALL_AT_VERSION(void*, dlsym, "GLIBC_2.2.5", (void* handle, const char* name), (handle, name))
CALL_AT_VERSION(int, dlclose, "GLIBC_2.2.5", (void* handle), (handle))
CALL_AT_VERSION(int, dladdr1, "GLIBC_2.3.3",
                (const void* address, Dl_info* info, void** extra, int flags),
                (address, info, extra, flags))
CALL_AT_VERSION(int, dlinfo, "GLIBC_2.3.3", (void* handle, int request, void* argument),
                (handle, request, argument))

// stat, fstat64 and lstat were real functions only from 2.33; before, they were inline calls of
// the versioned __xstat family, which sanitizer runtimes no longer intercept correctly. The
// system calls themselves: on x86-64 the kernel's struct stat is the C library's.
int __wrap_stat(const char* path, struct stat* status) {
    return static_cast<int>(syscall(SYS_stat, path, status));
}
int __wrap_lstat(const char* path, struct stat* status) {
    return static_cast<int>(syscall(SYS_lstat, path, status));
}
int __wrap_fstat(int fd, struct stat* status) {
    return static_cast<int>(syscall(SYS_fstat, fd, status));
}
int __wrap_fstat64(int fd, struct stat* status) { return __wrap_fstat(fd, status); }

// The C++ runtime skips atomic reference counts while this says the process has one thread.
// Always "more than one" here: correct everywhere, at the cost of atomics a host with one
// thread would not need.
char __wrap___libc_single_threaded = 0;

// Only std::random_device calls it, which the plug-ins do not use; still, a correct one.
uint32_t __wrap_arc4random() {
    uint32_t value = 0;
    ssize_t got = 0;
    do {
        got = getrandom(&value, sizeof(value), 0);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof(value))) return value;
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0 || read(fd, &value, sizeof(value)) != static_cast<ssize_t>(sizeof(value))) abort();
    close(fd);
    return value;
}

}  // extern "C"
