#pragma once

// Small text files in the application directory (the "AppDir" setting).
//
// Lines end in CR LF on disk; readers end a line at LF and drop one CR before it.
// Map files hold key "<!!div!!>" value per line (only the first separator splits);
// list files hold one entry per line. Saves replace the whole file atomically, so a
// crash or a full disk leaves the old file, never a truncated one; a save also removes the
// temporaries that killed saves of the same file left behind. Missing or unreadable files
// read as nothing. Safe in any thread; two writers of one file are not serialised.

#include <map>
#include <string>
#include <string_view>
#include <vector>

using CStringMap = std::map<std::string, std::string>;

extern const char* const MAP_SEPARATOR;  // "<!!div!!>"

// AppDir + "/" + strFileName.
std::string AppDirPath(const std::string& strFileName);

bool SaveMapFile(const std::string& strFileName, const CStringMap& map);
void LoadMapFile(const std::string& strFileName, CStringMap& map);
bool SaveListFile(const std::string& strFileName, const std::vector<std::string>& arr);
void LoadListFile(const std::string& strFileName, std::vector<std::string>& arr);

// The same on full paths, for callers that already hold one.
bool SaveTextFile(const std::string& strPath, const std::string& strText);
bool ReadTextFile(const std::string& strPath, std::string& strText);
// Appends text to a file, creating it when missing, and syncs it. The text starts on a
// fresh line: when the file does not end with LF (a write cut short), CR LF comes first.
// A failed append (a full disk) leaves the file as it was; it is not atomic, though: a
// crash can leave a part of the text, ending in a torn line.
bool AppendTextFile(const std::string& strPath, const std::string& strText);
// Splits text into lines at LF, dropping one CR before each LF.
std::vector<std::string> SplitLines(const std::string& strText);
// The same lines as views into the text, handed to fn one by one.
template <class F>
void ForEachLine(std::string_view strText, F&& fn) {
    for (size_t nPos = 0; nPos < strText.size();) {
        const size_t nEnd = strText.find('\n', nPos);
        std::string_view line =
            strText.substr(nPos, nEnd == std::string_view::npos ? nEnd : nEnd - nPos);
        nPos = nEnd == std::string_view::npos ? strText.size() : nEnd + 1;
        if (nEnd != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        fn(line);
    }
}
// Splits a map-file line at its first separator; false when it has none.
bool SplitMapLine(std::string_view strLine, std::string_view& strKey, std::string_view& strValue);
// Appends one map-file line: key, separator, value, CR LF.
void AppendMapLine(std::string& strText, std::string_view strKey, std::string_view strValue);
// Turns every LF into CR LF.
std::string ToCrLf(const std::string& strText);
