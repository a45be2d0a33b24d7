#include "ordination/lapack.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/messages.h"
#include "ordination/linalgthreads.h"

namespace lorvane {

namespace {

// The libraries' names as the linker would have recorded them, separated by
// colons (set by the build).
constexpr std::string_view kLibraries = LORVANE_LAPACK_LIBRARIES;

// The thread count asked for before the library was loaded; 0: its own.
std::atomic<int> wanted{0};

// OpenBLAS's own settings, when the library is OpenBLAS.
using SetThreads = void (*)(int);
using ShutThreads = int (*)();

struct Library {
  std::vector<void*> handles;
  Lapack routines{};
  SetThreads setthreads = nullptr;
  ShutThreads shutthreads = nullptr;

  Library() {
    for (std::size_t start = 0; start < kLibraries.size();) {
      std::size_t end = kLibraries.find(':', start);
      if (end == std::string_view::npos) end = kLibraries.size();
      const std::string name(kLibraries.substr(start, end - start));
      start = end + 1;
      void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handle) {
        const char* why = ::dlerror();
        errorstop("Error: the linear algebra library " + name + " cannot be loaded (" +
                  (why ? why : "no reason given") + ")");
      }
      handles.push_back(handle);
    }
    Lapack& r = routines;
    find(r.ilaenv, "ilaenv_");
    find(r.dlansy, "dlansy_");
    find(r.dlascl, "dlascl_");
    find(r.dlatrd, "dlatrd_");
    find(r.dsyr2k, "dsyr2k_");
    find(r.dsytd2, "dsytd2_");
    find(r.dsterf, "dsterf_");
    find(r.dpotrf, "dpotrf_");
    find(r.dsyrk, "dsyrk_");
    find(r.dgemm, "dgemm_");
    find(r.dtrsm, "dtrsm_");
    find(r.dlasyf, "dlasyf_");
    find(r.dsytf2, "dsytf2_");
    find(r.dsyevd, "dsyevd_");
    setthreads = reinterpret_cast<SetThreads>(lookup("openblas_set_num_threads"));
    shutthreads = reinterpret_cast<ShutThreads>(lookup("blas_thread_shutdown_"));
  }

  void* lookup(const char* symbol) const {
    for (void* handle : handles)
      if (void* p = ::dlsym(handle, symbol)) return p;
    return nullptr;
  }

  template <class F>
  void find(F& f, const char* symbol) const {
    void* p = lookup(symbol);
    if (!p)
      errorstop("Error: the linear algebra library " + std::string(kLibraries) + " has no " + symbol);
    f = reinterpret_cast<F>(p);
  }

  void applythreads() const {
    const int n = wanted.load();
    if (n <= 0) return;
    if (setthreads) setthreads(n);
    // OpenBLAS starts its threads when it is loaded, and they spin for a
    // tenth of a second waiting for work, taking a processor from the run.
    // One thread needs none of them.
    if (n == 1 && shutthreads) shutthreads();
  }
};

std::atomic<bool> loaded{false};

// Loaded once; a load that failed is tried again by the next run.
const Library& library() {
  static const Library once = [] {
    Library l;
    l.applythreads();
    loaded.store(true);
    return l;
  }();
  return once;
}

}  // namespace

const Lapack& lapack() { return library().routines; }

void setlinalgthreads(int n) {
  wanted.store(n);
  if (loaded.load()) library().applythreads();
}

}  // namespace lorvane
