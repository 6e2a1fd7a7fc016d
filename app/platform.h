// The operating-system services the setup program relies on. Everything that
// touches Windows goes through this interface, so the window flow and the
// install run also run on a host against a scripted fake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnvel {

// Message-box flags and answers, with their Windows values.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbYesNoCancel = 0x3;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconError = 0x10;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Exit codes, for silent deployment.
constexpr int kExitSuccess = 0;          // run finished, nothing failed
constexpr int kExitFailures = 1;         // a component could not be written or registered
constexpr int kExitCancelled = 2;        // the user confirmed Cancel
constexpr int kExitUnexpectedError = 3;  // an unexpected error ended the program
// Nothing failed, and a component in use waits for the next restart
// (ERROR_SUCCESS_REBOOT_REQUIRED).
constexpr int kExitRestartRequired = 3010;
// Another copy of the setup runs (ERROR_INSTALL_ALREADY_RUNNING).
constexpr int kExitAnotherSetupRunning = 1618;
// Windows asked for where no one can see them (ERROR_INVALID_COMMAND_LINE):
// such a run must be started with /s.
constexpr int kExitNoVisibleDesktop = 1639;

struct PayloadView {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// What tells whether anyone can see the program's windows; none where the
// system could not say.
struct DisplayFacts {
  // The window station's flags, kWindowStationVisible among them.
  std::optional<std::uint32_t> stationFlags;
  std::optional<std::uint32_t> sessionId;
  bool vistaOrLater = true;  // session 0 holds only services there
};
constexpr std::uint32_t kWindowStationVisible = 0x1;  // WSF_VISIBLE

// File attributes, with their Windows values.
constexpr std::uint32_t kAttributeHidden = 0x2;
constexpr std::uint32_t kAttributeSystem = 0x4;
constexpr std::uint32_t kAttributeDirectory = 0x10;

// Where putting a component on disk stopped, for the log.
enum class OutputStep {
  kLoad,
  kAttributes,
  kOpen,
  kSecurity,
  kWrite,
  kRename,
  kClose,
  kQueueRename,        // asking Windows for the rename at the next restart
  kQueueRegistration,  // asking Windows to register it after the next restart
  kKeep,               // keeping the old file beside its replacement
};
struct OutputFailure {
  OutputStep step = OutputStep::kLoad;
  std::uint32_t error = 0;  // the Windows error code
};

// What asking Windows whether it protects a file gave.
struct FileProtection {
  enum class Asked {
    kAnswered,
    kNoLibrary,   // there is no sfc.dll to ask
    kNoFunction,  // sfc.dll loaded, but without SfcIsFileProtected
  };
  Asked asked = Asked::kAnswered;
  bool isProtected = false;  // when answered
  std::string library;       // kNoFunction: the path of the library asked
};

// What the file presence test gives for `path` with these attributes: the
// bare name of a file that is neither hidden, nor a system file, nor a
// directory; the empty text otherwise, nothing being there included.
std::string PresentFileName(const std::string& path, std::optional<std::uint32_t> attributes);

class Platform {
 public:
  virtual ~Platform() = default;

  // The whole command line as the system hands it over.
  virtual std::string CommandLine() = 0;
  // The command line after the program's name and the blanks that follow it.
  std::string CommandTail();

  // Modal message box; returns the pressed button (kIdYes, kIdNo, ...).
  virtual int ShowMessageBox(const std::string& prompt, const std::string& title,
                             unsigned flags) = 0;

  // Ends the process at once. No window handler runs on the way out; an
  // output file still open is abandoned and its temporary file removed.
  [[noreturn]] virtual void EndProgram(int exitCode) = 0;

  // Handles every pending window event before returning.
  virtual void PumpEvents() = 0;

  // The system directory, whole however long, without a trailing separator;
  // empty when the system cannot tell.
  virtual std::string SystemDirectory() = 0;

  // The attributes of what is at `path`; none when nothing is there.
  virtual std::optional<std::uint32_t> FileAttributes(const std::string& path) = 0;

  // The binary file version of the image at `path`, read without loading it
  // and without holding up anyone who has it open; none when it has no
  // readable version record or cannot be read.
  virtual std::optional<std::uint64_t> FileVersion(const std::string& path) = 0;
  // Whether the file at `path` holds exactly these bytes, no more and no
  // fewer, read as FileVersion reads; its size is compared before anything is
  // read. False when it cannot be read.
  virtual bool FileHolds(const std::string& path, const std::uint8_t* data, std::size_t size) = 0;
  // Whether Windows protects the file at `path` (only the system may write
  // it), or why it cannot be asked. `path` must be the one Windows knows the
  // file by: see Wow64SystemDirectory.
  virtual FileProtection FileProtected(const std::string& path) = 0;
  // For a 32-bit program on 64-bit Windows, the folder its system directory
  // is redirected to (SysWOW64): calls that do not follow the redirection
  // (file protection, work done at restart) must name it. Empty otherwise.
  virtual std::string Wow64SystemDirectory() = 0;

  // Clears read-only, hidden, system and archive. Fails when there is no file.
  virtual bool ResetAttributes(const std::string& path) = 0;

  // File output, one file at a time. Open checks that the destination can be
  // written and replaced and prepares a temporary file beside it with the
  // destination's security; Write puts the bytes there, flushes them and
  // atomically replaces the destination with them; Close releases what Open
  // took. Each returns false on failure; Open fails while another output is
  // open.
  virtual bool OpenOutput(const std::string& path) = 0;
  virtual bool WriteOutput(const std::uint8_t* data, std::size_t size) = 0;
  virtual bool CloseOutput() = 0;

  // For a destination another program holds: puts `size` bytes into a new
  // temporary file beside `path`, with the destination's security, flushed,
  // and asks Windows to rename it over the destination at the next restart.
  // The restart's own code does not follow a 32-bit program's redirection:
  // `knownPath` is the destination by the path Windows knows it by, and the
  // temporary file is named to Windows in that folder too; `queued` gets that
  // name. On failure nothing is left behind (LastOutputFailure tells why).
  virtual bool ReplaceAtRestart(const std::string& path, const std::string& knownPath,
                                const std::uint8_t* data, std::size_t size,
                                std::string& queued) = 0;
  // The temporary file of this program's that Windows is to rename over
  // `knownPath` at the next restart, when the last rename queued onto it is
  // one; empty otherwise. Both by the paths Windows knows them by.
  virtual std::string QueuedReplacement(const std::string& knownPath) = 0;
  // Asks Windows to rename `path` over the destination at the next restart;
  // as for ReplaceAtRestart, `knownPath` is the destination by the path
  // Windows knows it by, and `queued` gets `path` named in that folder.
  virtual bool RenameAtRestart(const std::string& path, const std::string& knownPath,
                               std::string& queued) = 0;

  // Keeps the file at `path` beside it, as the very same file (its bytes,
  // security and times), under a name of the temporary files' pattern, until
  // a replacement of it has proved itself; `kept` gets that name. A killed
  // run's kept file is swept like any other temporary file.
  virtual bool KeepBeside(const std::string& path, std::string& kept) = 0;
  // Renames the kept file over `path` in one step, so that `path` is that
  // file again. Refused, with the kept file left in place, as an open for
  // writing is refused: another program holding `path` fails at kOpen.
  virtual bool PutBack(const std::string& kept, const std::string& path) = 0;
  // Deletes a kept file that is no longer needed.
  virtual void DeleteKept(const std::string& kept) = 0;

  // Has Windows run `commandLine` once after the next restart; a second call
  // with the same `name` replaces the first. Fails without an administrator.
  virtual bool RunAtRestart(const std::string& name, const std::string& commandLine) = 0;

  // Where the windows of an interactive run would be, if anywhere.
  virtual DisplayFacts Display() = 0;

  // Takes the machine-wide lock one setup holds for its whole run, so that a
  // second copy cannot race it; false when another copy holds it.
  virtual bool TakeSetupLock() = 0;

  // Removes the temporary output files that killed runs left in `directory`.
  // Only names of the program's own pattern are touched; one still held open
  // by a live run, or queued for a rename at the next restart, stays. Shows
  // nothing and never fails the run; gives the paths it deleted.
  virtual std::vector<std::string> SweepTemporaryFiles(const std::string& directory) = 0;

  // The executable's own resource of that type name (compared without regard
  // to case) and id. Fails when there is none or when its bytes do not match
  // their build-time checksum.
  virtual bool LoadPayload(const std::string& typeName, int id, PayloadView& payload) = 0;

  // Starts `imagePath` with `commandLine`, its window hidden, in
  // `workingDirectory`; does not wait. Its process id, or 0 when it cannot be
  // started. The process stays known to the calls below until the end.
  virtual std::uint32_t StartProcess(const std::string& imagePath, const std::string& commandLine,
                                     const std::string& workingDirectory) = 0;

  // The exit code of a process StartProcess started; none while it runs.
  virtual std::optional<std::uint32_t> ExitCode(std::uint32_t processId) = 0;
  // Returns once the processes have ended, a window event has arrived or
  // `timeoutMs` has passed, or sooner (one of them ended, say). Handles no
  // event itself.
  virtual void WaitForProcessOrEvent(const std::vector<std::uint32_t>& processIds,
                                     std::uint32_t timeoutMs) = 0;
  // A millisecond clock for deadlines; it wraps, so only differences count.
  virtual std::uint32_t Milliseconds() = 0;

  // The step and Windows error code of the last failed LoadPayload,
  // ResetAttributes, OpenOutput, WriteOutput, CloseOutput, ReplaceAtRestart,
  // RenameAtRestart, RunAtRestart, KeepBeside or PutBack.
  virtual OutputFailure LastOutputFailure() = 0;
  // The system's text for a Windows error code, on one line.
  virtual std::string ErrorText(std::uint32_t error) = 0;
  // The program's file version, "1.0.0.0".
  virtual std::string ProgramVersion() = 0;
  // Adds one timed line to this run's log. A log that cannot be written is
  // given up without a word: it never changes the run.
  virtual void Log(const std::string& line) = 0;

  // Ends the program after an unexpected error: one modal report in an
  // interactive run, none in a silent one; exit code 3. A failure while the
  // report is up ends the program at once, without a second box.
  [[noreturn]] void ReportUnexpectedError(const char* what);

  // The same end after a hardware exception (an access violation, an in-page
  // error, a stack overflow), naming its code and address. The process is
  // damaged by then: the report takes no heap memory, and a fault while any
  // report is under way, this one's included, ends the program at once with
  // exit code 3 and adds nothing.
  [[noreturn]] void ReportFault(std::uint32_t code, std::uint32_t address);
  // Reads, while the heap can still be trusted, what ReportFault needs to
  // know: whether the run is silent. Before it, a fault shows no box.
  void PrepareFaultReport();

 protected:
  // What ReportFault asks of the system. None of them takes heap memory or
  // waits on anything the faulting code may hold.
  virtual void LogWithoutHeap(const char* line) = 0;
  virtual void ShowMessageBoxWithoutHeap(const char* prompt, const char* title, unsigned flags) = 0;
  // Ends the process without running anything of the program's or the
  // libraries' on the way out.
  [[noreturn]] virtual void EndAtOnce(int exitCode) = 0;

 private:
  bool reportingUnexpectedError_ = false;
  bool faultReportShowsBox_ = false;
};

// The unexpected-error end for code that holds no Platform (the window
// toolkit, the runtime's failure hooks, the fault handler): ReportUnexpectedError
// or ReportFault of the platform start-up named, or exit code 3 alone before
// there is one.
[[noreturn]] void FailUnexpectedly(const char* what);
[[noreturn]] void FailAfterFault(std::uint32_t code, std::uint32_t address);
// Also prepares its fault report.
void SetUnexpectedErrorPlatform(Platform* platform);

}  // namespace tarnvel
