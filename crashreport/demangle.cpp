// libiberty's demangler, in its form that hands the text to a callback
// instead of allocating it. Its header comes first and alone: it declares
// C library functions its own way.
#include <libiberty/demangle.h>

#include "crashreport/demangle.h"

namespace faultwick {

namespace {

struct Output {
  char* out;
  size_t capacity;
  size_t length;
};

void Append(const char* text, size_t n, void* opaque) {
  Output* o = static_cast<Output*>(opaque);
  for (size_t i = 0; i < n && o->length + 1 < o->capacity; ++i) o->out[o->length++] = text[i];
  o->out[o->length] = '\0';
}

void Copy(const char* name, char* out, size_t capacity) {
  size_t n = 0;
  while (name[n] && n + 1 < capacity) {
    out[n] = name[n];
    ++n;
  }
  out[n] = '\0';
}

}  // namespace

void DemangleSymbol(const char* name, char* out, size_t capacity) {
  if (capacity == 0) return;
  out[0] = '\0';
  if (name[0] == '_' && name[1] == 'Z') {
    Output o{out, capacity, 0};
    if (cplus_demangle_v3_callback(name, DMGL_PARAMS | DMGL_ANSI, Append, &o) && o.length > 0)
      return;
  }
  Copy(name, out, capacity);
}

}  // namespace faultwick
