#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class IProjectContents;

// Reads a project file into a document as its bytes come in, piece by piece, without
// keeping the text or a node tree: a wall of millions of tiles loads in the memory of its
// tiles. It reads what the tree reader in ProjectFile.cpp reads, the same way; what it
// cannot read exactly as that one would (text that a strict XML parser refuses, which the
// tree reader may still accept) it leaves to it, for inputs small enough to hold at once.
class CProjectFileParser {
public:
    enum class Result {
        Loaded, // the document holds the project
        Refused, // a section asks for more than the program holds; `problem` says so
        Failed, // not well-formed; `problem` says where
        Unsure, // read the input again: with the tree reader, or with `exactBytes`
    };

    // Resets `doc`. `size` is the whole input's size; `treeCanFollow` says the caller can
    // give the input to the tree reader when the result is Unsure. Without `exactBytes`
    // the input is read as the UTF-8 it declares, the fast way; a file that is not (legacy
    // 8-bit texts, control characters) is then Unsure, and read again with `exactBytes`,
    // which takes every byte as it is.
    CProjectFileParser(
        IProjectContents& doc, std::uint64_t size, bool treeCanFollow, bool exactBytes = false);
    ~CProjectFileParser();
    CProjectFileParser(const CProjectFileParser&) = delete;
    CProjectFileParser& operator=(const CProjectFileParser&) = delete;

    // The next piece of the input. False when the rest of the input no longer matters.
    bool Feed(std::string_view piece);
    // After the last piece: the result, and for Refused and Failed the reason. Loaded
    // leaves the document complete (tables rebuilt, one section at least, the first current).
    Result Finish(std::string& problem);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
