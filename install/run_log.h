// The lines of a run's log, one per event. The platform adds the time and
// writes them; a deployment reads them to learn what a run did and why.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/number_text.h"
#include "app/platform.h"

namespace tarnvel::log_line {

std::string Started(const std::string& version, const std::string& commandTail, bool silent);
std::string RunBegins(bool overwriteWithoutAsking, const std::string& systemDirectory);
std::string Swept(const std::string& path);
std::string Absent(const std::string& name);
// `attributes` holds at least one of hidden, system and directory.
std::string PassedOver(const std::string& name, std::uint32_t attributes);
// What the version rule found, each version none when there is no readable one.
std::string Protected(const std::string& name, std::optional<std::uint64_t> installed,
                      std::optional<std::uint64_t> payload);
std::string Kept(const std::string& name, std::uint64_t installed, std::uint64_t payload);
// Kept without a version to go by: the target holds exactly the payload.
std::string KeptSameBytes(const std::string& name);
std::string Older(const std::string& name, std::uint64_t installed, std::uint64_t payload);
// Why Windows cannot be asked which files it protects.
std::string NoFileProtection(const FileProtection& protection);
std::string Asked(const std::string& name, int answer);
std::string Written(const std::string& name);
std::string InUse(const std::string& name, std::uint32_t error, const std::string& errorText);
// `already`: an earlier run queued it.
std::string RenameQueued(const std::string& name, const std::string& from, const std::string& to,
                         bool already);
std::string RegistrationQueued(const std::string& name, const std::string& commandLine);
std::string CopyFailed(const std::string& name, const OutputFailure& failure,
                       const std::string& errorText);
std::string RegistrationStarted(const std::string& name, std::uint32_t processId);
std::string Waiting(std::size_t registrations, std::uint32_t deadlineMs);
std::string RegistrationEnded(const std::string& name, std::uint32_t exitCode);
std::string StillRunning(const std::string& name);
// How the lines about a component's old file, kept beside it, name it.
std::string OldFile(const std::string& name);
std::string PutBack(const std::string& name);
std::string PutBackAtRestart(const std::string& name, std::uint32_t error,
                             const std::string& errorText);
std::string Cancel(bool confirmed);
// The count waiting for the restart is given when there is one.
std::string End(int copiesFailed, int registrationsFailed, int waitingForRestart, int exitCode);
std::string AnotherSetupRunning();
std::string NoVisibleDesktop();
// Built without heap memory: the end after a fault writes it too.
FixedText UnexpectedError(const char* what);

// regsvr32's own codes: 0 registered; 4 the file has no DllRegisterServer,
// so there is nothing to register. Any other code means it failed.
bool RegistrationSucceeded(std::uint32_t exitCode);

}  // namespace tarnvel::log_line
