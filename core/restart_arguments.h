// The command line of a SkySwap restarted with administrator rights. An elevated start may not
// keep the working folder, and may run under another account whose profile is not the player's,
// so the restart carries the library folder and the player's VirtualStore folder, and what the
// user asked for when Windows refused, for the new window to do once it is up:
//   skyswap.exe /library "<folder>" /virtualstore "<folder>" /resume install 12
// "/resume" is the restart's own switch: the program still opens its window, unlike an action
// switch of the window-less command line. It takes one of
//   /resume install N      LOAD TO EAW of set N
//   /resume random         LOAD TO EAW of a set drawn at random
//   /resume mydefault      LOAD MY DEFAULT
//   /resume gamedefault    LOAD EAW DEFAULT
//   /resume savedefault N  SAVE AS MY DEFAULT of set N
//   /resume add "<path>"   adding downloads, once for each path
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "library_actions.h"

namespace skyswap {

struct RestartArguments {
    std::string library;       // the library folder to start in; empty: the current folder
    std::string virtualStore;  // the VirtualStore folder to clean; empty: this user's own
    LibraryRequest resume;     // what the new window does once it is up
};

// The name of the restart's own switch, without its "/".
constexpr const char* kResumeSwitchName = "resume";

// Reads the values of one "/resume" at arguments[i] (the switch itself) into `resume`, leaving
// `i` at the last value read. Empty when understood; otherwise what is wrong, for the message
// about the command line. "/resume add" may come once for each path; any other only once.
std::string ReadResumeSwitch(const std::vector<std::string>& arguments, std::size_t& i,
                             LibraryRequest& resume);

// One argument quoted so that CommandLineToArgvW reads it back unchanged: in double quotes, with
// the backslashes before a quote, and those at the end, doubled.
std::string QuoteArgument(const std::string& argument);

// The parameters for the restarted program (without the program's own path).
std::string RestartParameters(const RestartArguments& arguments);

// The restarted program reads them back with the rest of its command line (ParseCommandLine).

// What a drive letter stands for. A drive made with subst, and by default a mapped network
// drive, exist only in the logon session of the account that made them: a program started as
// administrator runs in another one and does not see them.
struct DriveMapping {
    enum class Kind {
        Volume,       // a drive of its own, which every session sees
        Substituted,  // subst: `target` is the folder it stands for ("C:\Games")
        Network,      // a mapped share: `target` is the share ("\\server\games")
        Unknown,      // Windows could not say
    };
    Kind kind = Kind::Volume;
    std::string target;
};
// Asked with an upper-case drive letter.
using DriveMappingQuery = std::function<DriveMapping(char drive)>;

// `path` spelled so that a program started as administrator reaches the same place: a subst
// drive replaced by the folder it stands for, a mapped drive by its share; every other path as
// it is. Nothing when Windows cannot say what a drive stands for (or subst drives name each
// other in a ring). Without `driveOf`, every drive is a volume.
std::optional<std::string> PathSeenWhenElevated(const std::string& path,
                                                const DriveMappingQuery& driveOf);

// What starting SkySwap as administrator takes: the program, its working folder and its
// parameters, each spelled as the elevated program will see them.
struct RestartPlan {
    std::string program;
    std::string folder;
    std::string parameters;
};

// The plan for restarting `program` with `arguments` (the working folder is the library), or,
// in `unseen`, the first path an elevated program could not reach.
std::optional<RestartPlan> PlanRestart(const std::string& program, RestartArguments arguments,
                                       const DriveMappingQuery& driveOf, std::string& unseen);

}  // namespace skyswap
