// What every machine-format writer shares: the output stream a retriever
// offers, and the one write of a finished file image. Writers make the whole
// file in memory first, so a refusal leaves the output untouched.
#pragma once
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/FormatVocabulary.h"
#include <cstdint>
#include <vector>

namespace StitchWriting {

using MemoryStream = Brodix::Archivers::MemoryStreamRW<Brodix::IArchiverStream>;

// The retriever's stream, or null when it offers none that can be used.
Brodix::IArchiverStream* OutputOf(Brodix::StitchFormats::IArchiverRetriever& retriever);

// Appends bytes to a stream; false when it takes fewer.
bool WriteAll(Brodix::IArchiverStream& stream, void const* bytes, std::size_t size);
inline bool WriteAll(Brodix::IArchiverStream& stream, std::vector<uint8_t> const& bytes)
{
    return WriteAll(stream, bytes.data(), bytes.size());
}

// Writes a finished image to the output: kSaveStatusOK, or kSaveStatusWriteFailed.
int WriteImage(Brodix::IArchiverStream& output, std::vector<uint8_t> const& image);

} // namespace StitchWriting
