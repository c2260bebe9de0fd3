#pragma once
// What the program needs to know about Wine when it runs under it.
#include <optional>
#include <string>

bool UnderWine();

// The DOS form of a Unix path, for CreateProcess and the file functions; nothing outside Wine.
std::optional<std::string> DosPath(const std::string& unixPath);
