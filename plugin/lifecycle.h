// What the entry points need from the load and unload steps.
#pragma once

namespace linepeek {

// Marks an entry point call as running for its lifetime. A host that exits while another of its
// threads is inside a call runs the unload step beside that call (on Linux the shared object's
// destructor runs at exit too): the step then releases nothing, and calls that start after it
// must touch nothing.
class EntryCall {
public:
  EntryCall() noexcept;
  EntryCall(const EntryCall&) = delete;
  EntryCall& operator=(const EntryCall&) = delete;
  ~EntryCall();

  // False once the unload step has begun.
  bool admitted() const noexcept { return admitted_; }

private:
  bool admitted_;
};

} // namespace linepeek
