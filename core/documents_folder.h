// documents_folder.h - the user's documents folder, home of MultiPair.ini.
//
// The folder is $XDG_DOCUMENTS_DIR when that is set to an absolute path; otherwise the
// XDG_DOCUMENTS_DIR entry of $XDG_CONFIG_HOME/user-dirs.dirs (XDG_CONFIG_HOME defaults to
// $HOME/.config; "$HOME" in the entry is expanded); otherwise $HOME/Documents. The folder is
// created when it does not exist yet. Both programs use the same folder.
#pragma once

#include <cstdint>
#include <string>

// Fills *path with the documents folder (created when missing) and returns LINK_OK; returns
// STORE_NO_FOLDER when there is no home folder to derive it from or it cannot be created.
int32_t DocumentsFolder(std::string* path);

// The XDG_DOCUMENTS_DIR entry of the text of a user-dirs.dirs file, with "$HOME" (or
// "${HOME}") at its start replaced by home; empty when the text holds no usable entry (none,
// unquoted, relative, or naming $HOME while home is empty). The last entry wins.
std::string ParseUserDirsDocuments(const std::string& text, const std::string& home);
