// What the standard library throws when one of its operations cannot be
// done (a string or vector beyond its maximum size, an index out of range):
// in what ships, every such failure ends the same way as exhausted memory
// (the guard catches it at the COM boundary; the panel and the installer's
// helper catch nothing). Defined here, the library's own throwers (and the
// exception classes they build, with their copy-on-write strings: about
// 45 KB) stay out of the module loaded into every browser window, and out
// of the programs.
#include <bits/functexcept.h>

#include <new>

namespace std {

// The whole set the library defines together, so that its own is never
// needed beside these.
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_bad_cast() { throw bad_alloc(); }
void __throw_bad_typeid() { throw bad_alloc(); }
void __throw_bad_exception() { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char*) { throw bad_alloc(); }
void __throw_domain_error(const char*) { throw bad_alloc(); }
void __throw_invalid_argument(const char*) { throw bad_alloc(); }
void __throw_out_of_range(const char*) { throw bad_alloc(); }
void __throw_out_of_range_fmt(const char*, ...) { throw bad_alloc(); }
void __throw_runtime_error(const char*) { throw bad_alloc(); }
void __throw_range_error(const char*) { throw bad_alloc(); }
void __throw_overflow_error(const char*) { throw bad_alloc(); }
void __throw_underflow_error(const char*) { throw bad_alloc(); }

}  // namespace std
