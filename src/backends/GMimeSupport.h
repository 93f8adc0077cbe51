#pragma once

#include <gmime/gmime.h>

#include <memory>
#include <mutex>

// What every user of GMime here needs: the library started once, and owners
// for its objects and strings.
namespace gabblet::gmime {

inline void ensureInit() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

struct GObjectUnref {
    void operator()(gpointer p) const {
        if (p)
            g_object_unref(p);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
using GChars = std::unique_ptr<char, GFree>;

} // namespace gabblet::gmime
