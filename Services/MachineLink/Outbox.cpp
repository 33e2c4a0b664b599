#include "MachineLink/Outbox.h"
#include "DesignFiles/DesignFiles.h"
#include "Fundamentals/Vendor.h"
#include "Platform/FileManager.h"
#include "SendToMachineContract/SendToMachineContract.h"
#include <cerrno>
#include <cstdio>

namespace Brodix::MachineLink {
namespace {

using SendToMachineContract::kDataToSendKey;
using SendToMachineContract::kExpressSend;
using SendToMachineContract::kFilenameKey;
using SendToMachineContract::kFileTypeKey;
using SendToMachineContract::kNormalSend;
// Room for " (9999).vp3" within the 255 bytes a file name may have.
constexpr std::size_t kMaxReceivedNameBytes = 240;
constexpr unsigned kMaxCopies = 9999;
constexpr unsigned char kDelete = 0x7f;

// Names in log lines are quoted, with control bytes escaped, so that a
// hostile name cannot forge log lines.
std::string Quoted(std::string const& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        auto const byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == kDelete || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

Delivery Refused(std::string const& name, std::string const& reason, std::string const& detail = {})
{
    std::string const logged = detail.empty() ? reason : reason + " (" + detail + ")";
    return {false, {}, "refused " + Quoted(name) + ": " + logged, reason};
}

std::optional<std::string> FolderProblem(Platform::FolderState state)
{
    switch (state) {
    case Platform::FolderState::Writable:
        return std::nullopt;
    case Platform::FolderState::Missing:
    case Platform::FolderState::NotAFolder:
        return kOutboxMissingReason;
    case Platform::FolderState::ReadOnly:
        return kOutboxReadOnlyReason;
    }
    return kOutboxMissingReason;
}

std::string WriteFailureReason(int errorNumber)
{
    switch (errorNumber) {
    case EROFS:
    case EACCES:
    case EPERM:
        return kOutboxReadOnlyReason;
    case ENOSPC:
    case EDQUOT:
        return kOutboxFullReason;
    case ENOENT:
    case ENOTDIR:
        return kOutboxMissingReason;
    default:
        return "the design could not be written";
    }
}

// The payload is accepted when it loads as the sender's loader loads VP3.
bool Vp3ReaderAccepts(Platform::PropertyData const& payload)
{
    return DesignFiles::LoadDesign(payload, DesignFiles::FileFormat::VP3).Loaded();
}

} // namespace

std::optional<std::string> OutboxProblem(std::string const& folder)
{
    return FolderProblem(Platform::CheckFolder(folder));
}

std::string DefaultOutboxFolder()
{
    return Platform::UserDataFolder() + "/" + kVendorPrefix + ".MachineLink/outbox";
}

std::optional<std::string> FileNameProblem(std::string const& name)
{
    if (name.empty())
        return "empty file name";
    if (name[0] == '.')
        return "file name starts with \".\"";
    if (name.size() > kMaxReceivedNameBytes)
        return "file name too long";
    for (char c : name) {
        auto const byte = static_cast<unsigned char>(c);
        if (c == '/')
            return "file name holds \"/\"";
        if (c == '\0')
            return "file name holds NUL";
        if (byte < 0x20 || byte == kDelete)
            return "file name holds a control character";
    }
    return std::nullopt;
}

std::string OutboxFileName(std::string const& receivedName, unsigned copy)
{
    std::size_t const dot = receivedName.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? receivedName : receivedName.substr(0, dot);
    if (copy > 1)
        stem += " (" + std::to_string(copy) + ")";
    return stem + kOutboxExtension;
}

Delivery Outbox::Deliver(std::optional<Platform::PropertyDictionary> const& userInfo) const
{
    if (!userInfo)
        return Refused("", "malformed notification");
    auto const value = [&](char const* key) -> Platform::PropertyValue const* {
        auto const found = userInfo->find(key);
        return found != userInfo->end() ? &found->second : nullptr;
    };
    Platform::PropertyValue const* nameValue = value(kFilenameKey);
    if (nameValue == nullptr || nameValue->String() == nullptr)
        return Refused("", "no file name");
    std::string const& name = *nameValue->String();
    if (auto const problem = FileNameProblem(name))
        return Refused(name, *problem);

    Platform::PropertyValue const* kindValue = value(kFileTypeKey);
    auto const kind = kindValue != nullptr ? kindValue->Integer() : std::nullopt;
    if (!kind || (*kind != kNormalSend && *kind != kExpressSend))
        return Refused(name, "unknown send kind");

    Platform::PropertyValue const* dataValue = value(kDataToSendKey);
    if (dataValue == nullptr || dataValue->Data() == nullptr)
        return Refused(name, "no design data");
    Platform::PropertyData const& payload = *dataValue->Data();
    if (payload.size() > kMaxPayloadBytes)
        return Refused(name, "design data over " + std::to_string(kMaxPayloadBytes) + " bytes");
    if (!Vp3ReaderAccepts(payload))
        return Refused(name, kNotVp3Reason);

    bool const express = *kind == kExpressSend;
    std::string const folder = express ? m_folder + "/" + kExpressFolder : m_folder;
    if (auto const problem = OutboxProblem(m_folder))
        return Refused(name, *problem, Quoted(m_folder));
    if (express)
        if (auto const problem = FolderProblem(Platform::CreateFolderIfParentExists(folder)))
            return Refused(name, *problem, Quoted(folder));
    for (unsigned copy = 1; copy <= kMaxCopies; ++copy) {
        std::string const fileName = OutboxFileName(name, copy);
        std::string error;
        int errorNumber = 0;
        switch (Platform::CreateFileAtomically(folder, fileName, payload, &error, &errorNumber)) {
        case Platform::CreateFileResult::Created: {
            std::string const path = folder + "/" + fileName;
            return {true, path,
                    "wrote " + Quoted(path) + " (" + std::to_string(payload.size()) + " bytes, " +
                        (express ? "express" : "normal") + ") from " + Quoted(name),
                    {}};
        }
        case Platform::CreateFileResult::AlreadyExists:
            continue;
        case Platform::CreateFileResult::Failed:
            return Refused(name, WriteFailureReason(errorNumber), Quoted(folder + "/" + fileName) + ": " + error);
        }
    }
    return Refused(name, "no free file name");
}

} // namespace Brodix::MachineLink
