#include <windows.h>

#include <chrono>
#include <thread>

#include "tests/host/host_process.h"

namespace dovrel::test {

struct HostProcess::Handles {
  HANDLE process = nullptr;
  HANDLE input = nullptr;   // the host's standard input, our end
  HANDLE output = nullptr;  // the host's standard output, our end
};

namespace {

void CloseOwned(HANDLE* handle) {
  if (*handle != nullptr) CloseHandle(*handle);
  *handle = nullptr;
}

// One argument as the C runtime splits a command line back into arguments.
std::string Quoted(const std::string& argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

}  // namespace

HostProcess::HostProcess(const std::vector<std::string>& arguments)
    : handles_(std::make_unique<Handles>()) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  if (!CreatePipe(&childInput, &handles_->input, &inherit, 0)) return;
  if (!CreatePipe(&handles_->output, &childOutput, &inherit, 0)) {
    CloseHandle(childInput);
    return;
  }
  SetHandleInformation(handles_->input, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(handles_->output, HANDLE_FLAG_INHERIT, 0);
  std::string commandLine = Quoted(DOVREL_HOST_PROGRAM);
  for (const std::string& argument : arguments) commandLine += " " + Quoted(argument);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                     &startup, &process)) {
    CloseHandle(process.hThread);
    handles_->process = process.hProcess;
  }
  CloseHandle(childInput);
  CloseHandle(childOutput);
}

HostProcess::~HostProcess() {
  CloseOwned(&handles_->input);
  if (handles_->process != nullptr) {
    TerminateProcess(handles_->process, 1);
    WaitForSingleObject(handles_->process, 10000);
  }
  CloseOwned(&handles_->process);
  CloseOwned(&handles_->output);
}

bool HostProcess::Started() const { return handles_->process != nullptr; }

bool HostProcess::Write(const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(handles_->input, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) &&
         written == bytes.size();
}

bool HostProcess::Read(char* buffer, std::size_t size, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t got = 0;
  while (got < size) {
    DWORD available = 0;
    if (!PeekNamedPipe(handles_->output, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    DWORD n = 0;
    const DWORD wanted = static_cast<DWORD>(size - got < available ? size - got : available);
    if (!ReadFile(handles_->output, buffer + got, wanted, &n, nullptr) || n == 0) return false;
    got += n;
  }
  return true;
}

void HostProcess::CloseInput() { CloseOwned(&handles_->input); }

int HostProcess::Wait(int timeoutMs) {
  if (handles_->process == nullptr ||
      WaitForSingleObject(handles_->process, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
    return -1;
  DWORD code = 0;
  GetExitCodeProcess(handles_->process, &code);
  CloseOwned(&handles_->process);
  return static_cast<int>(code);
}

}  // namespace dovrel::test
