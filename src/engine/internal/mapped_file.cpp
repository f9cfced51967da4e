#include "engine/internal/mapped_file.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace tvr::engine {

namespace {

// The copy in progress: where SIGBUS jumps back to. The engine is used by one thread, but
// the handler must not touch another thread's copy, so it is per thread.
// Volatile: the compiler must not drop the store before the copy as unread.
thread_local sigjmp_buf* volatile t_copy_jump = nullptr;
struct sigaction g_previous_bus_action;

void OnBusError(int signal_number, siginfo_t* info, void* context) {
  if (t_copy_jump != nullptr) siglongjmp(*t_copy_jump, 1);
  // Not ours: what would have happened without us.
  if (g_previous_bus_action.sa_flags & SA_SIGINFO) {
    g_previous_bus_action.sa_sigaction(signal_number, info, context);
    return;
  }
  if (g_previous_bus_action.sa_handler != SIG_IGN && g_previous_bus_action.sa_handler != SIG_DFL) {
    g_previous_bus_action.sa_handler(signal_number);
    return;
  }
  ::sigaction(SIGBUS, &g_previous_bus_action, nullptr);
  ::raise(signal_number);
}

void CatchBusErrors() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous_bus_action);
  });
}

}  // namespace

MappedFile::~MappedFile() { Unmap(); }

void MappedFile::Unmap() {
  if (base_ != nullptr) ::munmap(const_cast<char*>(base_), size_);
  base_ = nullptr;
  size_ = 0;
}

bool MappedFile::Cover(std::uint64_t end) {
  if (base_ == nullptr && end < smallest_) return false;  // a small file: not even its size
  if (base_ == nullptr && uses_ < uses_before_mapping_) {
    ++uses_;
    return false;
  }
  const std::uint64_t now = file_.Size();
  if (end > now || now < smallest_) return false;
  if (end <= size_) return true;
  Unmap();
  void* base = ::mmap(nullptr, now, PROT_READ, MAP_SHARED, file_.fd(), 0);
  if (base == MAP_FAILED) return false;
  CatchBusErrors();
  base_ = static_cast<const char*>(base);
  size_ = now;
  return true;
}

bool MappedFile::Copy(std::uint64_t offset, void* out, std::size_t size) const {
  if (base_ == nullptr || offset + size > size_) return false;
  sigjmp_buf jump;
  if (sigsetjmp(jump, 0) != 0) {
    t_copy_jump = nullptr;
    return false;  // the file was cut short under the map
  }
  t_copy_jump = &jump;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(out, base_ + offset, size);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  t_copy_jump = nullptr;
  return true;
}

}  // namespace tvr::engine
