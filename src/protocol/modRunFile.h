#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

// The client's second file, beside its varnoosk.cfg: what the configuration
// file's fixed format has no room for (the console certificate's fingerprint,
// the client's token, the timings of the link). Same form as the
// configuration file: KEY=value lines ending in CR LF, the last one too, but
// not scrambled; it travels and stays 0600.
namespace modRunFile {

inline constexpr std::string_view FileName = "varnoosk.run";
inline constexpr std::string_view ConfigFileName = "varnoosk.cfg";
// The unit a client installs in <root>/etc/systemd/system, enabled through a
// link in multi-user.target.wants, to resume after its reboot; it removes it
// at the end of its run, and the engine's collection confirms that it did.
inline constexpr std::string_view ResumeUnit = "varno-osk-client-resume.service";
// Either file, larger than this, is refused before it is read.
inline constexpr std::size_t MaxFileBytes = 1024 * 1024;

inline constexpr std::string_view ModeCheck = "check";
inline constexpr std::string_view ModeMigrate = "migrate";
// Reverses the journal an earlier migration left on the computer.
inline constexpr std::string_view ModeRollback = "rollback";
// Removes that journal, so that the migration can no longer be rolled back.
inline constexpr std::string_view ModeForget = "forget";

struct RunFile
{
    int protocol = 0;
    std::string mode; // one of the modes above
    std::string token; // lower-case hex of modProtocol::TokenBytes
    std::string fingerprint; // SHA-256 of the console certificate's DER, lower-case hex
    int reportingPeriod = 0; // seconds
    int keepAliveIncrement = 0; // seconds
    std::string clientLog; // file names in the client's working folder
    std::string clientStatus;
    std::string run; // with `computer`, names the working folder
    std::string computer;
};

std::string Compose(const RunFile &file);
// False, with the reason in `problem`, for a missing or malformed entry.
bool Parse(std::string_view text, RunFile &file, std::string &problem);

// KEY=value lines; the last line may lack its CR LF, a bare LF is taken as
// well. False for a line without "=" or a key given twice.
bool ParseLines(std::string_view text, std::map<std::string, std::string, std::less<>> &values, std::string &problem);

// The client's working folder for one run and computer, which the engine's
// collection step names as well: <root>/var/lib/varno-osk/<run>-<computer>
// for root, <home>/.local/state/varno-osk/<run>-<computer> for anyone else.
// Characters other than letters, digits, ".", "_" and "-" in the name become "_".
std::string WorkingFolder(std::string_view root, bool asRoot, std::string_view home, std::string_view run, std::string_view computer);

} // namespace modRunFile
