#pragma once

#include <string>

namespace folioport {

/// The updater's one error type, for the feed check and every installation step; describe(error) is what the
/// user reads in errorMessage.
struct UpdateError {
    enum class Kind {
        badFeed,
        badManifest,
        badDownload,
        network,
        system,
        damagedArchive,
        unsafeEntry,
        linkOutside,
        archiveTooLarge,
        noBundle,
        signature,
        versionMismatch,
        badBuildNumber,
        notNewer,
        notWritable,
        unsafeFolder,
        notInstalled,
        checksumMismatch
    };

    Kind kind;
    /// badFeed, badDownload, damagedArchive, archiveTooLarge: the detail; badManifest: the feed decoder's
    /// sentence; network: the transport's words; system: what was attempted on which path; unsafeEntry: why the
    /// entry was refused; linkOutside: the link, relative to the unpacked folder; signature: why the seal check
    /// failed; versionMismatch: the version found in the bundle; badBuildNumber, notNewer: the bundle's build
    /// number; notWritable: the path of the installed bundle; unsafeFolder: the folder others can write to;
    /// notInstalled: why the swap gave up
    std::string text;
    /// system: the system's reason; unsafeEntry: the entry's name; linkOutside: the link's target;
    /// versionMismatch: the version the manifest promised; notNewer: the running build number
    std::string detail;

    static UpdateError badFeed(std::string detail) { return {Kind::badFeed, std::move(detail), {}}; }
    static UpdateError badManifest(std::string sentence) { return {Kind::badManifest, std::move(sentence), {}}; }
    static UpdateError badDownload(std::string detail) { return {Kind::badDownload, std::move(detail), {}}; }
    static UpdateError network(std::string words) { return {Kind::network, std::move(words), {}}; }
    /// A file or process call failed; a reason of "" stands for none given.
    static UpdateError system(std::string attempt, std::string reason) {
        return {Kind::system, std::move(attempt), std::move(reason)};
    }
    /// The archive could not be read as a zip, or one of its names could not.
    static UpdateError damagedArchive(std::string detail) { return {Kind::damagedArchive, std::move(detail), {}}; }
    /// An entry the unpacker never writes: a name leaving the folder, a hard link, a device, a duplicate…
    static UpdateError unsafeEntry(std::string why, std::string name) {
        return {Kind::unsafeEntry, std::move(why), std::move(name)};
    }
    static UpdateError linkOutside(std::string link, std::string target) {
        return {Kind::linkOutside, std::move(link), std::move(target)};
    }
    /// The archive went past one of the unpacker's limits; `detail` says which ("holds more than 1 entries").
    static UpdateError archiveTooLarge(std::string detail) { return {Kind::archiveTooLarge, std::move(detail), {}}; }
    static UpdateError noBundle() { return {Kind::noBundle, {}, {}}; }
    static UpdateError signature(std::string output) { return {Kind::signature, std::move(output), {}}; }
    static UpdateError versionMismatch(std::string found, std::string expected) {
        return {Kind::versionMismatch, std::move(found), std::move(expected)};
    }
    static UpdateError badBuildNumber(std::string build) { return {Kind::badBuildNumber, std::move(build), {}}; }
    static UpdateError notNewer(std::string build, std::string runningBuild) {
        return {Kind::notNewer, std::move(build), std::move(runningBuild)};
    }
    static UpdateError notWritable(std::string path) { return {Kind::notWritable, std::move(path), {}}; }
    static UpdateError unsafeFolder(std::string folder) { return {Kind::unsafeFolder, std::move(folder), {}}; }
    static UpdateError notInstalled(std::string why) { return {Kind::notInstalled, std::move(why), {}}; }
    static UpdateError checksumMismatch() { return {Kind::checksumMismatch, {}, {}}; }

    bool operator==(const UpdateError&) const = default;
};

/// The user-facing sentence of an error.
std::string describe(const UpdateError& error);

}  // namespace folioport
