// The messages the tests expect, as the README lists them, each written once: a row names its
// message and fills in its fields by calling it. They are kept apart from the programs' own
// strings, so that a message changed in a program is caught.
#pragma once

#include "support.h"

namespace messages {

using testing_support::Say;

// corvane
inline constexpr Say kCorvaneBanner{
    "-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n"},
    kCorvaneUsage{"Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n"},
    kNoList{"Can't open input file list '%s'\n"}, kListUnread{"Error reading file list '%s'\n"},
    kListIsStaging{"Input file list '%s' is the temporary data file\n"},
    kSameAsInput{"Output file '%s' is the same file as the input\n"},
    kOutputIsStaging{"Output file '%s' is the temporary data file\n"},
    kNoOutput{"Can't open output file '%s'\n"}, kNoStaging{"Can't open temporary data file.\n"},
    kWaitingFor{"corvane: waiting for another run to finish with %s\n"},
    kWaitingInFolder{"corvane: waiting for another run in this folder to finish with %s\n"},
    kUnknownCommand{"Warning - Unknown command '%c'. Ignoring\n"},
    kNoListedFile{"Error -- can't open file %s\n"}, kListedFileUnread{"Error reading file %s\n"},
    kFileTooLarge{"Error -- %s is too large (2 GiB or more)\n"},
    kContainerTooLarge{
        "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n"},
    kListedStaging{"Error -- %s is the temporary data file\n"},
    kStagingWrite{"Error writing %s to tempfile.\n"},
    kStagingClose{"Error writing temporary data file\n"},
    kOutputWrite{"Error writing output file '%s'\n"};
// corvane -l, -t, -x
inline constexpr Say kNoContainer{"Can't open container '%s'\n"},
    kUnreadContainer{"Error reading container '%s'\n"},
    kChecksum{"Checksum word 0x%08llX does not match the bytes after it (their sum: 0x%08llX)\n"},
    kBadDataOffset{"Data area offset %llu is not 8 + 4 n inside the file\n"},
    kShortContainer{"The file is shorter than a container's two header words\n"},
    kOutsideData{"Entry %lld: offset %llu lies outside the data area\n"},
    kBit31{"Entry %lld: bit 31 of its offset word is set\n"},
    kOutOfOrder{"Entry %lld: offset %llu comes before the entry listed before it\n"},
    kNoLengthWord{"Entry %lld: compressed, but too short for its length word\n"},
    kContainerHead{
        "c.sol: %llu bytes, %llu entries, data area at offset %llu, checksum word 0x%08llX\n"
        "Index      Offset  Kind              Length    Original\n"},
    kCompressedRow{"%5lld %11llu  compressed %13llu %11llu\n"},
    kStoredRow{"%5lld %11llu  stored     %13llu\n"}, kContainerTotal{"%s, %s\n"},
    kDecodesTo{"Entry %lld: decodes to %lld bytes, not %lld\n"},
    kDecodesToMore{"Entry %lld: decodes to more than %lld bytes\n"},
    kNoEnd{"Entry %lld: its stream stops before its END\n"},
    kContainerTested{"%s tested, %lld damaged, %s\n"},
    kDamagedContainer{"Container '%s' is damaged: nothing unpacked\n"},
    kNotUnpacked{"Entry %lld: its stream does not decode to its %lld bytes\n"},
    kUnpackedOf{"Unpacked %lld of %lld entries into %s\n"},
    kContainerReplaced{"Can't replace %s: it is the container being read\n"};
// both programs' modes
inline constexpr Say kExists{
    "Can't create %s: it exists, or is not a plain file (-f replaces a file)\n"},
    kWriteFailed{"Error writing %s\n"}, kNoFolder{"Can't create folder '%s'\n"},
    kFolderInTheWay{"Can't create folder '%s': something that is not a folder is in the way\n"};

// pellux
inline constexpr Say kPelluxBanner{
    "-- pellux -- read and extract a file from an FST or DPK file --\n\n"},
    kPelluxUsage{
        "Usage: pellux <FST file> <file to extract> <file to create>\n\n"
        "    The name of the file to extract should *not* contain path info.\n"
        "    pellux will ignore any directory path given it.\n"},
    kNoArchive{"Can't open input FST file '%s'\n"},
    kNoTableMemory{"Error -- Can't allocate memory for table of contents\n"},
    kShortTable{"Error reading FST table of contents\n"},
    kNotFound{"Couldn't find an entry by that name"},
    kFound{"Found %s  [CSize:%lld, USize:%lld]\n\n"},
    kNoEntryMemory{"Error -- Can't allocate memory for the FST file %s.\n"},
    kShortEntry{"Error reading file from FST\n"},
    kNoDecodeMemory{"Error -- Can't allocate memory to decompress FST file\n"},
    kSizeWarning{"Warning -- Decompressed size does not match the FST's stored value\n"},
    kOutputWriteFailed{"Error writing to output file\n"};
// pellux -l, -t, -x, -u, -c
inline constexpr Say kNoFst{
    "'%s' is no FST archive: its count, %lld, needs a table of %lld bytes, and the file has "
    "%lld\n"},
    kArchiveHead{"Index      Stored  Uncompressed  Kind            Offset  Name\n"},
    kArchiveRow{"%5lld %11lld %13lld  %-10s %11lld  %s\n"}, kArchiveTotal{"%s, %lld damaged\n"},
    kOutsideArchive{"Entry %lld (%s): its data does not lie inside the archive\n"},
    kNamedDecodesTo{"Entry %lld (%s): decodes to %lld bytes, not %lld\n"},
    kNamedDecodesToMore{"Entry %lld (%s): decodes to more than %lld bytes\n"},
    kNamedNoEnd{"Entry %lld (%s): its stream stops before its END\n"},
    kOverlaps{"Entry %lld (%s): its data overlaps entry %lld's\n"},
    kArchiveTested{"%s tested, %lld damaged\n"},
    kEntryUnreadable{"Error reading entry %lld (%s) from FST\n"}, kExtracted{"Extracted %s\n"},
    kTaken{"Skipped entry %lld: %s was already taken by an earlier entry\n"},
    kBadName{"Refused entry %lld: '%s' cannot be a file name in the folder\n"},
    kPastOverlapBound{
        "Refused entry %lld: %s would take the archive's overlapping entries past %llu bytes\n"},
    kArchiveReplaced{"Can't replace %s: it is the archive being read\n"},
    kSizeWarningNamed{"Warning -- %s: decompressed size does not match the FST's stored value\n"},
    kNoEndWarning{"Warning -- %s: its stream stops before its END\n"},
    kOverlapWarning{"Warning -- %s: its data overlaps entry %lld's\n"},
    kNoMatch{"No entry matches '%s'\n"}, kExtractedTotal{"%s extracted, %lld not\n"},
    kUnpacked{"Unpacked %s\n"}, kWrittenAs{"Entry %lld (%s) is written as %s\n"},
    kNotByteForByte{"pellux -c will not give this archive byte for byte: %s\n"},
    kUnpackedTotal{"%s unpacked into %s, %lld not\n"}, kCreated{"Created %s: %s, %llu bytes\n"},
    kCannotCreate{"Can't create %s\n"}, kBeingCreated{"Error -- %s is the archive being created\n"},
    kNoManifest{"Can't open manifest '%s'\n"}, kBadLine{"Manifest '%s', line %lld: %s\n"},
    kArchiveTooLarge{"Error -- archive too large (offsets and sizes must stay below 2 GiB)\n"},
    kManifestHeader{
        "# pellux manifest: c (compress) or u (store), the file to read, the name to store;\n"
        "# any space, '%' or byte that is not UTF-8 is written as %XX\n"};

}  // namespace messages
