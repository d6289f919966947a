// The commands of k8w-cli and their options, in one place. The dispatcher
// parses each command line against this table (unknown options, missing
// values, stray words, alternatives given together and required options left
// out are refused here, before a handler runs), the usage and every
// "COMMAND --help" are printed from it, and tests hold the synopses in
// README.md and packaging/k8w-cli.1 to it.
//
// To add a command:
//   1. write its handler `int runName(const Options&)` in a file of its own
//      (declare it in cli_commands.h, list the file in src/app/CMakeLists.txt);
//   2. add one entry to `commandTable()` below, reusing the options defined
//      here (a new option gets one OptionSpec beside the others);
//   3. give README.md and k8w-cli(1) the synopsis that `k8w-cli --help` prints
//      and say what the command does (the docs tests name what is missing).
// An option that many commands share goes into a group such as `database`
// below: adding an alternative there adds it to every command that uses it.
#include "cli/cli_command_table.h"

#include "cli/cli_commands.h"

namespace k8w::cli {
namespace {

const OptionSpec kDb{"db", "FILE",
                     "the card database (default: ProgInfo_10.K8W in the current directory)"};
const OptionSpec kRow{"row", "N", "the card's row in the card list, 1-9000"};
const OptionSpec kBase{"base", "URL", "a shared card base, postgresql://[user@]host[:port]/dbname[?...]"};
const OptionSpec kBaseUrl{"base", "URL", "the shared card base, postgresql://[user@]host[:port]/dbname[?...]"};
const OptionSpec kCopyFrom{"from", "SRC", "the base to copy: a database file or a postgresql:// URL"};
const OptionSpec kCopyTo{"to", "DST", "the base to replace: a database file or a postgresql:// URL"};
const OptionSpec kForce{"force", "", "replace a target that holds cards already"};
const OptionSpec kRevision{"revision", "R", "the revision to bring back, as history lists it"};
const OptionSpec kOut{"out", "FILE", "also write the 585-byte device image into FILE"};
const OptionSpec kPort{"port", "PATH", "the serial port to use, e.g. /dev/ttyUSB0"};
const OptionSpec kCable{"cable", "SERIAL",
                        "the FTDI cable with this serial number (default: the first one listed)"};
const OptionSpec kVerify{"verify", "",
                         "read the device back and compare it with the image written (exit 3 if not equal)"};
const OptionSpec kCompareImage{"image", "FILE", "the device image to compare, as read --out writes it"};
const OptionSpec kReadyNext{"ready-next", "", "answer a write request with READYNEXT"};
const OptionSpec kVersion{"version", "A.B.C", "the version the device reports, each number 0-255"};
const OptionSpec kSimImage{"image", "FILE",
                           "serve reads from FILE when it exists and store every image written into it"};
const OptionSpec kLoops{"loops", "A,B,C,D,E", "the five loop readings in ohms, 0-65535 each"};
const OptionSpec kNoPower{"no-power", "", "report the mains power as off"};
const OptionSpec kCaseOpen{"case-open", "", "report the case cover as open"};
const OptionSpec kKey{"key", "HEX16", "report a key: eight bytes as 16 hexadecimal digits"};
const OptionSpec kPartition{"partition", "P", "the partition, 1-3"};
const OptionSpec kSubscriber{"subscriber", "S", "the subscriber, 1-32"};
const OptionSpec kCode{"code", "HEX12", "the key code as the station's card shows it, 12 hexadecimal digits"};
const OptionSpec kSlot{"slot", "K", "the key slot, 1-6"};
const OptionSpec kOwserver{"owserver", "HOST:PORT", "read on this owserver's readers instead of looking for one"};
const OptionSpec kRows{"rows", "LIST", "rows as 1,5,10-20 or all, each from 1 to 9000"};
const OptionSpec kFormat{"format", "json|csv", "json (the default) or csv for a spreadsheet"};
const OptionSpec kExportOut{"out", "FILE", "write into FILE instead of standard output"};
const OptionSpec kDryRun{"dry-run", "", "check every card and write nothing"};
const OptionSpec kTemplate{"template", "", "also replace the new-card template by the file's template"};
const OptionSpec kDecodeImage{"image", "FILE", "the device image, as read --out writes it"};
const OptionSpec kFrom{"from", "BACKUP", "a backup as backups lists it, or its path"};
const OptionSpec kRestoreRows{"rows", "LIST", "restore only these rows (1,5,10-20 or all); default: the whole base"};
const OptionSpec kWait{"wait", "S", "seconds to wait for each answer of the device (default 10)"};

OptionUse required(const OptionSpec& option) { return {{&option}, true}; }
OptionUse optional(const OptionSpec& option) { return {{&option}, false}; }

// Where the cards are.
OptionUse database() { return optional(kDb); }
// Where the cards are: a database file or a shared base.
OptionUse cardBase() { return {{&kDb, &kBase}, false}; }
// Which cable leads to the device.
OptionUse cable() { return {{&kPort, &kCable}, false}; }

} // namespace

const std::vector<CommandSpec>& commandTable() {
    static const std::vector<CommandSpec> table = {
        {"cards", "", {cardBase()}, "list the cards in use", runCards},
        {"image", "", {required(kRow), cardBase(), optional(kOut)}, "build the device image of a card", runImage},
        {"program", "", {required(kRow), cardBase(), cable(), optional(kVerify)},
         "write a card into a device (and read it back)", runProgram},
        {"read", "", {cable(), optional(kOut)}, "read a device's image back", runRead},
        {"diff", "", {required(kRow), required(kCompareImage), cardBase()},
         "compare a card with a device image field by field;\nexit 1 when they differ", runDiff},
        {"sim", "",
         {optional(kReadyNext), optional(kVersion), optional(kSimImage), optional(kLoops), optional(kNoPower),
          optional(kCaseOpen), optional(kKey)},
         "serve a simulated device on a pseudo-terminal", runSim},
        {"keys", "", {required(kRow), cardBase()}, "list the keys of a card's partitions 1-3", runKeys},
        {"key-add", "",
         {required(kRow), required(kPartition), required(kSubscriber), required(kCode), optional(kSlot), cardBase()},
         "store a key typed from the station's card", runKeyAdd},
        {"key-read", "",
         {required(kRow), required(kPartition), required(kSubscriber), optional(kSlot), cardBase(),
          optional(kOwserver)},
         "store a key read on the first 1-Wire reader", runKeyRead},
        {"key-del", "", {required(kRow), required(kPartition), required(kSlot), cardBase()}, "empty a key slot",
         runKeyDel},
        {"base-init", "", {required(kBaseUrl)}, "create the tables of a shared card base in an empty database",
         runBaseInit},
        {"base-copy", "", {required(kCopyFrom), required(kCopyTo), optional(kForce)},
         "copy a whole card base between a file and a server", runBaseCopy},
        {"history", "", {required(kRow), required(kBaseUrl)},
         "list every kept version of a card of a shared base", runHistory},
        {"sync", "", {required(kBaseUrl)},
         "renew this computer's copy of a shared base and send the\nprogramming results that wait; exit 1 while any waits",
         runSync},
        {"status", "", {cable(), optional(kWait)}, "greet a live device, print its inputs and outputs", runStatus},
        {"set", "NAME=on|off ... [sim=1|2]", {cable(), optional(kWait)},
         "switch relay1 relay2 buzzer guard-led ktc-led red-led\ngreen-led or the SIM, then print the status", runSet},
        {"watch", "", {cable()},
         "the control window's exchange log and every change\nof the device's inputs and outputs, until Ctrl-C",
         runWatch},
        {"export", "", {optional(kRows), optional(kFormat), optional(kExportOut), cardBase()},
         "write the cards (default: every card in use) as JSON or CSV", runExport},
        {"import", "FILE", {optional(kDryRun), optional(kTemplate), cardBase()},
         "store the cards of a JSON file after the window's save checks;\nall or nothing", runImport},
        {"decode", "", {required(kDecodeImage)}, "print a device image as JSON", runDecode},
        {"backups", "", {database()}, "list the backups of the database", runBackups},
        {"restore", "", {optional(kFrom), optional(kRestoreRows), optional(kRow), optional(kRevision), cardBase()},
         "bring back the whole base or the listed cards from a backup,\nor a kept version of a card of a shared base",
         runRestore},
    };
    return table;
}

const char* const kExitStatusText =
    "exit status: 0 done, 1 failed, 2 bad input or refused (nothing sent, nothing written),\n"
    "  3 verify mismatch, 4 device programmed but its result not recorded, 130 stopped (Ctrl-C)\n";

} // namespace k8w::cli
