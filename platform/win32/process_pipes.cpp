// Process port on Windows: a hidden child with a new console of its own and three pipes.
//
// The child's ends are ordinary blocking pipe handles it inherits. Our ends are opened for
// overlapped I/O, so one thread writes standard input while it drains standard output and
// standard error: a child that fills one pipe before it reads its input never deadlocks.
// The child runs in a job object; when the limit passes, the job and everything the child
// started in it are ended.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/faults.h"
#include "platform/process.h"

namespace vp {
namespace {

constexpr DWORD kPipeBuffer = 64 * 1024;

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool ok() const { return h_ != nullptr; }
  void Reset(HANDLE h = nullptr) {
    if (h_) CloseHandle(h_);
    h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
  }

 private:
  HANDLE h_ = nullptr;
};

// One pipe: our end overlapped and not inherited, the child's end blocking and inherited.
struct Pipe {
  Handle ours;
  Handle childs;
  bool Open(bool childReads) {
    static std::atomic<unsigned> serial{0};
    char name[96];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\veilpost-%lu-%u",
                  static_cast<unsigned long>(GetCurrentProcessId()), serial.fetch_add(1));
    DWORD direction = childReads ? PIPE_ACCESS_OUTBOUND : PIPE_ACCESS_INBOUND;
    ours.Reset(CreateNamedPipeA(
        name, direction | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
        kPipeBuffer, kPipeBuffer, 0, nullptr));
    if (!ours.ok()) return false;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    childs.Reset(CreateFileA(name, childReads ? GENERIC_READ : GENERIC_WRITE, 0, &inherit,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return childs.ok();
  }
};

// One overlapped transfer in flight on a pipe end.
struct Transfer {
  HANDLE pipe = nullptr;
  Handle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  OVERLAPPED overlapped{};
  bool pending = false;
  bool done = false;  // the pipe ended (or was never there)
  std::vector<char> storage = std::vector<char>(kPipeBuffer);
  char* buffer = storage.data();
};

bool StartRead(Transfer* t) {
  t->overlapped = OVERLAPPED{};
  t->overlapped.hEvent = t->event.get();
  if (ReadFile(t->pipe, t->buffer, kPipeBuffer, nullptr, &t->overlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    t->pending = true;
    return true;
  }
  t->done = true;  // broken pipe: the child closed its end
  return false;
}

bool StartWrite(Transfer* t, std::string_view* left) {
  size_t n = std::min<size_t>(left->size(), kPipeBuffer);
  std::copy(left->begin(), left->begin() + static_cast<ptrdiff_t>(n), t->buffer);
  t->overlapped = OVERLAPPED{};
  t->overlapped.hEvent = t->event.get();
  if (WriteFile(t->pipe, t->buffer, static_cast<DWORD>(n), nullptr, &t->overlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    t->pending = true;
    return true;
  }
  t->done = true;  // the child closed its input: the rest is not wanted
  return false;
}

// The child's program when the command line does not quote it: the longest blank-separated
// prefix naming an existing file, so "C:\Program Files\..." is never taken for "C:\Program".
std::string ProgramOf(const std::string& line) {
  size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] == '"') return "";
  size_t rest = 0;
  return ResolveUnquotedProgram(line, &rest, [](const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  });
}

class PipeProcessLauncher : public ProcessLauncher {
 public:
  SpawnResult Run(const SpawnRequest& request) override;
};

SpawnResult PipeProcessLauncher::Run(const SpawnRequest& request) {
  SpawnResult result;
  auto failed = [&](SpawnError error) {
    result.error = error;
    return result;
  };
  // In the order the runner reports them.
  Pipe out, err, in;
  if (FaultHit("process.stdout_pipe") || !out.Open(false)) return failed(SpawnError::kStdoutPipe);
  if (FaultHit("process.stderr_pipe") || !err.Open(false)) return failed(SpawnError::kStderrPipe);
  if (FaultHit("process.stdin_pipe") || !in.Open(true)) return failed(SpawnError::kStdinPipe);
  if (FaultHit("process.dup")) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return failed(SpawnError::kDuplicateHandle);
  }
  if (FaultHit("process.terminal")) return failed(SpawnError::kLaunch);

  // Only the three pipe ends reach the child, whatever else the host left inheritable.
  HANDLE inherited[3] = {in.childs.get(), out.childs.get(), err.childs.get()};
  SIZE_T attributeSize = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
  std::string attributeBytes(attributeSize, '\0');
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBytes.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributeSize) ||
      !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                 sizeof inherited, nullptr, nullptr)) {
    return failed(SpawnError::kDuplicateHandle);
  }
  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = in.childs.get();
  startup.StartupInfo.hStdOutput = out.childs.get();
  startup.StartupInfo.hStdError = err.childs.get();
  startup.lpAttributeList = attributes;

  Handle job(CreateJobObjectA(nullptr, nullptr));
  if (job.ok()) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }

  // The command line goes to the child exactly as built; the program is named apart only when
  // the line leaves it unquoted.
  std::string program = ProgramOf(request.commandLine);
  std::string line = request.commandLine;
  PROCESS_INFORMATION child{};
  BOOL started =
      CreateProcessA(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr,
                     TRUE, CREATE_NEW_CONSOLE | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT,
                     nullptr, nullptr, &startup.StartupInfo, &child);
  DWORD startError = GetLastError();
  DeleteProcThreadAttributeList(attributes);
  if (!started) {
    SetLastError(startError);
    return failed(SpawnError::kLaunch);
  }
  Handle process(child.hProcess);
  Handle thread(child.hThread);
  bool inJob = job.ok() && AssignProcessToJobObject(job.get(), process.get());
  ResumeThread(thread.get());
  // With the child's ends closed here, each of our ends ends when the child is done with it.
  in.childs.Reset();
  out.childs.Reset();
  err.childs.Reset();

  Transfer reads[2];
  reads[0].pipe = out.ours.get();
  reads[1].pipe = err.ours.get();
  std::string* sinks[2] = {request.captureStdout ? &result.out : nullptr,
                           request.captureStderr ? &result.err : nullptr};
  Transfer write;
  write.pipe = in.ours.get();
  std::string_view left = request.stdinBytes;
  for (Transfer& t : reads) StartRead(&t);
  if (left.empty()) {
    write.done = true;
    in.ours.Reset();  // end of input at once
  } else {
    StartWrite(&write, &left);
  }

  ULONGLONG deadline = request.timeoutMs > 0 ? GetTickCount64() + request.timeoutMs : 0;
  bool timedOut = false;
  for (;;) {
    HANDLE waits[3];
    Transfer* owners[3];
    DWORD count = 0;
    for (Transfer& t : reads)
      if (t.pending) waits[count] = t.event.get(), owners[count++] = &t;
    if (write.pending) waits[count] = write.event.get(), owners[count++] = &write;
    if (count == 0) break;
    DWORD wait = INFINITE;
    if (deadline) {
      ULONGLONG now = GetTickCount64();
      wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    DWORD which = WaitForMultipleObjects(count, waits, FALSE, wait);
    if (which == WAIT_TIMEOUT) {
      timedOut = true;
      break;
    }
    if (which >= WAIT_OBJECT_0 + count) break;
    Transfer* t = owners[which - WAIT_OBJECT_0];
    DWORD n = 0;
    bool ok = GetOverlappedResult(t->pipe, &t->overlapped, &n, FALSE);
    t->pending = false;
    if (t == &write) {
      if (!ok) {
        write.done = true;
        in.ours.Reset();
        continue;
      }
      left.remove_prefix(n);
      if (left.empty()) {
        write.done = true;
        in.ours.Reset();
      } else {
        StartWrite(&write, &left);
      }
      continue;
    }
    if (!ok) {
      t->done = true;
      continue;
    }
    std::string* sink = sinks[t == &reads[0] ? 0 : 1];
    if (sink) sink->append(t->buffer, n);
    StartRead(t);
  }

  if (!timedOut) {
    DWORD wait = INFINITE;
    if (deadline) {
      ULONGLONG now = GetTickCount64();
      wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    timedOut = WaitForSingleObject(process.get(), wait) == WAIT_TIMEOUT;
  }
  if (timedOut) {
    result.timedOut = true;
    if (inJob)
      TerminateJobObject(job.get(), 1);
    else
      TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 5000);
  }
  // Transfers still in flight are cancelled before their buffers go away.
  for (Transfer* t : {&reads[0], &reads[1], &write}) {
    if (t->pending) {
      CancelIoEx(t->pipe, &t->overlapped);
      DWORD n = 0;
      GetOverlappedResult(t->pipe, &t->overlapped, &n, TRUE);
    }
  }
  DWORD code = 0;
  if (!timedOut && GetExitCodeProcess(process.get(), &code))
    result.exitStatus = static_cast<int>(code);
  return result;
}

}  // namespace

ProcessLauncher& PlatformProcessLauncher() {
  static PipeProcessLauncher launcher;
  return launcher;
}

}  // namespace vp
