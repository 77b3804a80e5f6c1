// Thread-safety annotations, checked by clang's -Wthread-safety and empty elsewhere. They make
// "guarded by this lock" and "never called with that lock held" visible in declarations.
#pragma once

#if defined(__clang__)
#define VORN_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define VORN_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) VORN_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY VORN_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) VORN_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) VORN_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) VORN_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) VORN_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) VORN_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) VORN_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) VORN_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS VORN_THREAD_ANNOTATION(no_thread_safety_analysis)
