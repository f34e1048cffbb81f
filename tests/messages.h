// The messages the tests expect, as the README lists them, each written once: a row names its
// message and fills in its fields by calling it. They are kept apart from the programs' own
// strings, so that a message changed in a program is caught.
#pragma once

#include "support.h"

namespace messages {

using testing_support::Say;

// corvane
inline constexpr Say kCorvaneBanner{
    "-- corvane -- creates a SOL, SAV, PKK or MPK file from a file list --\n\n"};
inline constexpr Say kCorvaneUsage{
    "Usage: corvane <file list> <SOL, SAV, PKK or MPK file to create>\n"};
inline constexpr Say kNoList{"Can't open input file list '%s'\n"};
inline constexpr Say kListUnread{"Error reading file list '%s'\n"};
inline constexpr Say kListIsStaging{"Input file list '%s' is the temporary data file\n"};
inline constexpr Say kSameAsInput{"Output file '%s' is the same file as the input\n"};
inline constexpr Say kOutputIsStaging{"Output file '%s' is the temporary data file\n"};
inline constexpr Say kNoOutput{"Can't open output file '%s'\n"};
inline constexpr Say kNoStaging{"Can't open temporary data file.\n"};
inline constexpr Say kWaitingFor{"corvane: waiting for another run to finish with %s\n"};
inline constexpr Say kWaitingInFolder{
    "corvane: waiting for another run in this folder to finish with %s\n"};
inline constexpr Say kUnknownCommand{"Warning - Unknown command '%c'. Ignoring\n"};
inline constexpr Say kNoListedFile{"Error -- can't open file %s\n"};
inline constexpr Say kListedFileUnread{"Error reading file %s\n"};
inline constexpr Say kFileTooLarge{"Error -- %s is too large (2 GiB or more)\n"};
inline constexpr Say kContainerTooLarge{
    "Error -- container too large (entries must start below 1 GiB, file below 2 GiB)\n"};
inline constexpr Say kListedStaging{"Error -- %s is the temporary data file\n"};
inline constexpr Say kStagingWrite{"Error writing %s to tempfile.\n"};
inline constexpr Say kStagingClose{"Error writing temporary data file\n"};
inline constexpr Say kOutputWrite{"Error writing output file '%s'\n"};
// corvane -l, -t, -x
inline constexpr Say kNoContainer{"Can't open container '%s'\n"};
inline constexpr Say kChecksum{
    "Checksum word 0x%08llX does not match the bytes after it (their sum: 0x%08llX)\n"};
inline constexpr Say kBadDataOffset{"Data area offset %llu is not 8 + 4 n inside the file\n"};
inline constexpr Say kShortContainer{"The file is shorter than a container's two header words\n"};
inline constexpr Say kOutsideData{"Entry %lld: offset %llu lies outside the data area\n"};
inline constexpr Say kBit31{"Entry %lld: bit 31 of its offset word is set\n"};
inline constexpr Say kOutOfOrder{
    "Entry %lld: offset %llu comes before the entry listed before it\n"};
inline constexpr Say kNoLengthWord{"Entry %lld: compressed, but too short for its length word\n"};
inline constexpr Say kContainerHead{
    "c.sol: %llu bytes, %llu entries, data area at offset %llu, checksum word 0x%08llX\n"
    "Index      Offset  Kind              Length    Original\n"};
inline constexpr Say kCompressedRow{"%5lld %11llu  compressed %13llu %11llu\n"};
inline constexpr Say kStoredRow{"%5lld %11llu  stored     %13llu\n"};
inline constexpr Say kContainerTotal{"%s, %s\n"};
inline constexpr Say kDecodesTo{"Entry %lld: decodes to %lld bytes, not %lld\n"};
inline constexpr Say kDecodesToMore{"Entry %lld: decodes to more than %lld bytes\n"};
inline constexpr Say kNoEnd{"Entry %lld: its stream stops before its END\n"};
inline constexpr Say kContainerTested{"%s tested, %lld damaged, %s\n"};
inline constexpr Say kDamagedContainer{"Container '%s' is damaged: nothing unpacked\n"};
inline constexpr Say kNotUnpacked{"Entry %lld: its stream does not decode to its %lld bytes\n"};
inline constexpr Say kUnpackedOf{"Unpacked %lld of %lld entries into %s\n"};
inline constexpr Say kContainerReplaced{"Can't replace %s: it is the container being read\n"};
// both programs' modes
inline constexpr Say kExists{
    "Can't create %s: it exists, or is not a plain file (-f replaces a file)\n"};
inline constexpr Say kWriteFailed{"Error writing %s\n"};
inline constexpr Say kNoFolder{"Can't create folder '%s'\n"};
inline constexpr Say kFolderInTheWay{
    "Can't create folder '%s': something that is not a folder is in the way\n"};

// pellux
inline constexpr Say kPelluxBanner{
    "-- pellux -- read and extract a file from an FST or DPK file --\n\n"};
inline constexpr Say kPelluxUsage{
    "Usage: pellux <FST file> <file to extract> <file to create>\n\n"
    "    The name of the file to extract should *not* contain path info.\n"
    "    pellux will ignore any directory path given it.\n"};
inline constexpr Say kNoArchive{"Can't open input FST file '%s'\n"};
inline constexpr Say kNoTableMemory{"Error -- Can't allocate memory for table of contents\n"};
inline constexpr Say kShortTable{"Error reading FST table of contents\n"};
inline constexpr Say kNotFound{"Couldn't find an entry by that name"};
inline constexpr Say kFound{"Found %s  [CSize:%lld, USize:%lld]\n\n"};
inline constexpr Say kNoEntryMemory{"Error -- Can't allocate memory for the FST file %s.\n"};
inline constexpr Say kShortEntry{"Error reading file from FST\n"};
inline constexpr Say kNoDecodeMemory{"Error -- Can't allocate memory to decompress FST file\n"};
inline constexpr Say kSizeWarning{
    "Warning -- Decompressed size does not match the FST's stored value\n"};
inline constexpr Say kOutputWriteFailed{"Error writing to output file\n"};
// pellux -l, -t, -x, -u, -c
inline constexpr Say kNoFst{
    "'%s' is no FST archive: its count, %lld, needs a table of %lld bytes, and the file has "
    "%lld\n"};
inline constexpr Say kArchiveHead{
    "Index      Stored  Uncompressed  Kind            Offset  Name\n"};
inline constexpr Say kArchiveRow{"%5lld %11lld %13lld  %-10s %11lld  %s\n"};
inline constexpr Say kArchiveTotal{"%s, %lld damaged\n"};
inline constexpr Say kOutsideArchive{"Entry %lld (%s): its data does not lie inside the archive\n"};
inline constexpr Say kNamedDecodesTo{"Entry %lld (%s): decodes to %lld bytes, not %lld\n"};
inline constexpr Say kNamedDecodesToMore{"Entry %lld (%s): decodes to more than %lld bytes\n"};
inline constexpr Say kNamedNoEnd{"Entry %lld (%s): its stream stops before its END\n"};
inline constexpr Say kOverlaps{"Entry %lld (%s): its data overlaps entry %lld's\n"};
inline constexpr Say kArchiveTested{"%s tested, %lld damaged\n"};
inline constexpr Say kEntryUnreadable{"Error reading entry %lld (%s) from FST\n"};
inline constexpr Say kExtracted{"Extracted %s\n"};
inline constexpr Say kTaken{"Skipped entry %lld: %s was already taken by an earlier entry\n"};
inline constexpr Say kBadName{"Refused entry %lld: '%s' cannot be a file name in the folder\n"};
inline constexpr Say kPastOverlapBound{
    "Refused entry %lld: %s would take the archive's overlapping entries past %llu bytes\n"};
inline constexpr Say kArchiveReplaced{"Can't replace %s: it is the archive being read\n"};
inline constexpr Say kSizeWarningNamed{
    "Warning -- %s: decompressed size does not match the FST's stored value\n"};
inline constexpr Say kNoEndWarning{"Warning -- %s: its stream stops before its END\n"};
inline constexpr Say kOverlapWarning{"Warning -- %s: its data overlaps entry %lld's\n"};
inline constexpr Say kNoMatch{"No entry matches '%s'\n"};
inline constexpr Say kExtractedTotal{"%s extracted, %lld not\n"};
inline constexpr Say kUnpacked{"Unpacked %s\n"};
inline constexpr Say kWrittenAs{"Entry %lld (%s) is written as %s\n"};
inline constexpr Say kNotByteForByte{"pellux -c will not give this archive byte for byte: %s\n"};
inline constexpr Say kUnpackedTotal{"%s unpacked into %s, %lld not\n"};
inline constexpr Say kCreated{"Created %s: %s, %llu bytes\n"};
inline constexpr Say kBeingCreated{"Error -- %s is the archive being created\n"};
inline constexpr Say kNoManifest{"Can't open manifest '%s'\n"};
inline constexpr Say kBadLine{"Manifest '%s', line %lld: %s\n"};
inline constexpr Say kArchiveTooLarge{
    "Error -- archive too large (offsets and sizes must stay below 2 GiB)\n"};
inline constexpr Say kManifestHeader{
    "# pellux manifest: c (compress) or u (store), the file to read, the name to store;\n"
    "# any space, '%' or byte that is not UTF-8 is written as %XX\n"};

}  // namespace messages
