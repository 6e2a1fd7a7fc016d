// The platform services on Windows, through the "W" calls: texts are UTF-8
// inside and converted at each call (win32_text.h).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/platform.h"
#include "app/win32_handles.h"
#include "app/win32_run_log.h"
#include "app/win32_text.h"

namespace tarnvel {

// The name of a temporary output file begins with this, then the process id
// in hexadecimal, "_", a serial number in decimal and ".tmp": "~tvl1a2b_3.tmp".
// It lives beside its destination from OpenOutput until the rename or
// CloseOutput, and an old file kept by KeepBeside until it is put back or
// deleted; one that a killed run left is swept by a later run.
constexpr const char* kTemporaryPrefix = "~tvl";

class Win32Platform : public Platform {
 public:
  // Sees every message before it is translated and dispatched, in the pumps
  // and in RunMessageLoop; returns true when it has handled the message
  // itself (IsDialogMessage for a window's keyboard navigation, say), which
  // is then not dispatched. Thread messages (no window) reach it too.
  using MessageFilter = std::function<bool(MSG& message)>;
  void SetMessageFilter(MessageFilter filter) { filter_ = std::move(filter); }

  // Tells whether the thread may have a message queue yet: only a call into
  // user32 makes one. Without a probe it is taken to have one.
  void SetMessageQueueProbe(bool (*mayHaveQueue)()) { mayHaveQueue_ = mayHaveQueue; }

  // The program's main loop: waits for and handles messages until WM_QUIT,
  // whose exit code it returns. The program normally ends inside it, through
  // EndProgram, and never sees WM_QUIT.
  int RunMessageLoop();

  std::string CommandLine() override;
  // Modal to the thread's active window, when there is one.
  int ShowMessageBox(const std::string& prompt, const std::string& title, unsigned flags) override;
  [[noreturn]] void EndProgram(int exitCode) override;
  void PumpEvents() override;
  std::string SystemDirectory() override;
  bool ResetAttributes(const std::string& path) override;
  // The destination holds either its previous bytes or exactly the payload
  // at every moment, whenever the process dies: the bytes go to a temporary
  // file in the destination's directory that takes the destination's owner,
  // group and DACL, and then a single rename puts it in the destination's place.
  bool OpenOutput(const std::string& path) override;
  bool WriteOutput(const std::uint8_t* data, std::size_t size) override;
  bool CloseOutput() override;
  // The temporary file is made, secured and flushed as for OpenOutput, then
  // closed and named in PendingFileRenameOperations (MoveFileEx).
  bool ReplaceAtRestart(const std::string& path, const std::string& knownPath,
                        const std::uint8_t* data, std::size_t size, std::string& queued) override;
  // Reads PendingFileRenameOperations.
  std::string QueuedReplacement(const std::string& knownPath) override;
  // MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT, named in PendingFileRenameOperations.
  bool RenameAtRestart(const std::string& path, const std::string& knownPath,
                       std::string& queued) override;
  // A hard link (CreateHardLink); the file system must have them (NTFS).
  bool KeepBeside(const std::string& path, std::string& kept) override;
  // One rename, as the write's, after an open of `path` as OpenOutput's.
  bool PutBack(const std::string& kept, const std::string& path) override;
  void DeleteKept(const std::string& kept) override;
  // A value in HKLM's RunOnce key as 64-bit Windows reads it at restart.
  bool RunAtRestart(const std::string& name, const std::string& commandLine) override;
  // The process's window station and session; UOI_FLAGS through user32.
  DisplayFacts Display() override;
  // A named mutex in the global namespace, held until the process ends.
  bool TakeSetupLock() override;
  // The output and the sweep live in win32_output.cpp. Deletes only names
  // CreateTemporaryBeside makes. A live run's temporary
  // file is open without delete sharing until it is renamed, so it stays; one
  // queued for the restart is named in PendingFileRenameOperations.
  std::vector<std::string> SweepTemporaryFiles(const std::string& directory) override;
  // Points into the executable's mapped image: no copy is made. The checksum
  // table is the RT_RCDATA resource kPayloadChecksumsName.
  bool LoadPayload(const std::string& typeName, int id, PayloadView& payload) override;
  // The image is taken as given, never searched for. An empty working
  // directory means this process's own.
  std::uint32_t StartProcess(const std::string& imagePath, const std::string& commandLine,
                             const std::string& workingDirectory) override;
  std::optional<std::uint32_t> ExitCode(std::uint32_t processId) override;
  // Wakes for window events, and then for each process that ends, only once
  // the thread may have a queue: a silent run waits for all the processes in
  // one call and never loads user32.
  void WaitForProcessOrEvent(const std::vector<std::uint32_t>& processIds,
                             std::uint32_t timeoutMs) override;
  std::uint32_t Milliseconds() override;
  OutputFailure LastOutputFailure() override { return failure_; }
  std::optional<std::uint32_t> FileAttributes(const std::string& path) override;
  // These four live in win32_file_facts.cpp.
  std::optional<std::uint64_t> FileVersion(const std::string& path) override;
  bool FileHolds(const std::string& path, const std::uint8_t* data, std::size_t size) override;
  // Asks sfc.dll's SfcIsFileProtected, loaded from the system directory on
  // first need.
  FileProtection FileProtected(const std::string& path) override;
  std::string Wow64SystemDirectory() override;
  std::string ErrorText(std::uint32_t error) override;
  std::string ProgramVersion() override { return OwnFileVersion(); }
  void Log(const std::string& line) override { log_.Add(line); }

 protected:
  void LogWithoutHeap(const char* line) override { log_.AddWithoutHeap(line); }
  // Task-modal: none of the program's windows can be used while it is up.
  void ShowMessageBoxWithoutHeap(const char* prompt, const char* title, unsigned flags) override;
  // A temporary output file is left to the next run's sweep.
  [[noreturn]] void EndAtOnce(int exitCode) override;

 private:
  // A temporary file that is removed when dropped, unless it has been moved
  // into place.
  class TemporaryFile {
   public:
    TemporaryFile(std::string path, UniqueHandle file)
        : path_(std::move(path)), file_(std::move(file)) {}
    ~TemporaryFile() { Discard(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    UniqueHandle& File() { return file_; }
    // Renames it over `destination`, replacing the file there in one step, and
    // closes it; on failure it is still ours, to discard.
    bool MoveOver(const std::string& destination);
    // Closes and deletes it; true when nothing is left behind.
    bool Discard();
    const std::string& Path() const { return path_; }
    // From now on the file is someone else's to remove (a rename at restart).
    void Keep() { path_.clear(); }

   private:
    std::string path_;  // empty once it is no longer ours
    UniqueHandle file_;
  };

  struct Output {
    Output(std::string destinationPath, std::string temporaryPath, UniqueHandle file)
        : destination(std::move(destinationPath)),
          temporary(std::move(temporaryPath), std::move(file)) {}
    std::string destination;
    TemporaryFile temporary;
  };

  void Dispatch(MSG& message);
  // Notes the step and the calling thread's last error; gives false.
  bool Failed(OutputStep step);
  // A new temporary file beside `destination` with `security`; none, the
  // failure noted, when it cannot be made.
  std::optional<std::pair<std::string, UniqueHandle>> SecuredTemporaryBeside(
      const std::string& destination, std::vector<unsigned char>& security);
  HANDLE ProcessHandle(std::uint32_t processId) const;

  MessageFilter filter_;
  bool (*mayHaveQueue_)() = nullptr;
  struct CheckedPayload {
    std::string typeName;
    int id;
    PayloadView view;
  };
  std::optional<CheckedPayload> checked_;  // the last payload that passed its check
  std::optional<Output> output_;
  OutputFailure failure_;
  std::vector<std::pair<std::uint32_t, UniqueHandle>> processes_;  // by process id
  RunLogFile log_;
  UniqueHandle setupLock_;
  std::vector<std::pair<std::string, DWORD>> clearedAttributes_;  // by ResetAttributes, by path
};

}  // namespace tarnvel
