// Where databases live: the Notes data folder and the mapping of server names to folders.
//
// The data folder is $VEILPOST_NOTES_DATA, else (Windows) %LOCALAPPDATA%\Veilpost\Notes, else
// $HOME/.local/share/veilpost/notes, else ".".
// The server "" is the local folder: the data folder itself. Any other server has the folder
//   <data folder>/servers/<key>
// where <key> is the server's name in abbreviated form ("CN=Mail1/O=Acme" -> "Mail1/Acme"), in
// lower case (server names ignore case), with every byte other than a-z, 0-9, '-' and '_' written
// as %XX (upper-case hex): "CN=Mail1/O=Acme" -> servers/mail1%2Facme. No key can step outside.
//
// A network path is "server!!file" (as BuildNetPath makes it) or a plain file path, which is
// local. A relative file is taken in its server's folder; an absolute one as it is (local only).
// On Windows "C:\x", "C:/x" and "\x" are absolute too, and "\" separates as "/" does.
#pragma once
#include <string>

namespace notesemu {

std::string DataFolder();
std::string ServerFolder(const std::string& server);
std::string ServerKey(const std::string& server);

// The file a network path names.
std::string FileForNetPath(const std::string& netPath);

// The local directory: names.nsf in the local folder.
std::string LocalDirectoryFile();

}  // namespace notesemu
