// Lock contracts the compiler checks: Clang's thread-safety attributes behind
// short names. A header says which lock guards a member (GUARDED_BY) and which
// lock a function needs (REQUIRES); Clang's -Wthread-safety then reports every
// access and call made without it. Other compilers (GCC, mingw-w64) see
// nothing: the macros expand to empty.
//
// The analysis does not know re-entrant locks: a function that REQUIRES a
// lock must not take it again itself, even where the lock would allow it.
#pragma once

#if defined(__clang__)
#define OCULO_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define OCULO_THREAD_ANNOTATION(x)
#endif

// On a lock class: objects of it are locks.
#define CAPABILITY(name) OCULO_THREAD_ANNOTATION(capability(name))
// On a holder class: it holds the lock its constructor ACQUIREs until its
// destructor (or an earlier RELEASE) lets go.
#define SCOPED_CAPABILITY OCULO_THREAD_ANNOTATION(scoped_lockable)

// On a member: read and written only with this lock held.
#define GUARDED_BY(x) OCULO_THREAD_ANNOTATION(guarded_by(x))
// On a pointer member: what it points to is used only with this lock held.
#define PT_GUARDED_BY(x) OCULO_THREAD_ANNOTATION(pt_guarded_by(x))

// On a function: the caller holds (REQUIRES) or does not hold (EXCLUDES) the lock.
#define REQUIRES(...) OCULO_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) OCULO_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
// On a function: it takes the lock and returns holding it, or lets it go.
// Without an argument on a lock's own methods: the object itself.
#define ACQUIRE(...) OCULO_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) OCULO_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// On a function that returns (a reference to) the lock that guards something.
#define RETURN_CAPABILITY(x) OCULO_THREAD_ANNOTATION(lock_returned(x))
// On a function: the caller is known to hold the lock from here on.
#define ASSERT_CAPABILITY(x) OCULO_THREAD_ANNOTATION(assert_capability(x))

// On a function whose locking the analysis cannot follow. Each use says why
// at the spot.
#define NO_THREAD_SAFETY_ANALYSIS OCULO_THREAD_ANNOTATION(no_thread_safety_analysis)
