#pragma once

class DataFolderLock;
class Prompter;
struct CommandLine;

// Takes the lock of line's data folder (made when missing) for the window's whole life.
// While another process holds it, the user may choose another folder, which is taken in
// turn; line then names it, and its configuration file too when that lay in the refused
// folder. False when the user gives up: the window is not to start.
bool HoldDataFolder(CommandLine& line, DataFolderLock& lock, Prompter& prompter);
