// Folder-tree helpers for building the staging copy of the document tree.
#pragma once

#include <string>

namespace zephra {

// Recreates the tree at `from` under `to` (which must not exist). Regular files are hard-linked
// (copied when the file system refuses links): the installer never writes into a file of the
// copy, it replaces it with a rename, so the live tree is never changed through a shared link.
// `skip` is a path relative to `from` left out of the copy. Throws std::filesystem_error.
void linkCopyTree(const std::string& from, const std::string& to, const std::string& skip);

// Creates the folders of `relative` under `root`, refusing to pass through anything that is not
// a real folder (a symbolic link would lead out of the tree). Throws std::runtime_error.
void makeFoldersInside(const std::string& root, const std::string& relative);

// True when no component of `relative` under `root`, except possibly the last, is a symbolic
// link or non-folder.
bool parentsAreRealFolders(const std::string& root, const std::string& relative);

}  // namespace zephra
