#pragma once

// Each command takes its own arguments (after the command name) and returns
// the exit code: 0 done, 1 unreadable or unusable input, 2 bad arguments.
int CliDecode(int argc, char** argv);
int CliRecord(int argc, char** argv);
int CliConvert(int argc, char** argv);
int CliInfo(int argc, char** argv);
int CliRecover(int argc, char** argv);
int CliLog(int argc, char** argv);

// The commands that paint or make maps need Qt Gui, which the others do not
// load: they are the module CLI_GUI_MODULE, which exports them by these names.
constexpr char CLI_GUI_MODULE[] = "veltrip-cli-gui.so";
extern "C" {
[[gnu::visibility("default")]] int CliMap(int argc, char** argv);
[[gnu::visibility("default")]] int CliMapImport(int argc, char** argv);
[[gnu::visibility("default")]] int CliMapOnline(int argc, char** argv);
[[gnu::visibility("default")]] int CliRender(int argc, char** argv);
}

constexpr int CLI_OK = 0;
constexpr int CLI_FAILED = 1;
constexpr int CLI_USAGE = 2;
