#include "device/Identification.h"

#include <algorithm>

#include "core/Convert.h"
#include "core/model/DeviceTable.h"
#include "device/DeviceProfiles.h"

namespace kaldo {

namespace {

// The two routine sets read the signature with the same port traffic.
bool SameSignatureRead(const RoutineSet& a, const RoutineSet& b) {
  return a.Family->ReadSignature == b.Family->ReadSignature &&
         (!a.Family->SignatureFollowsAddressForm || a.Address == b.Address);
}

std::string DeviceName(int deviceType) {
  const DeviceInfo* d = FindDevice(deviceType);
  return d ? FullName(*d) : std::string();
}

}  // namespace

std::vector<SignatureProcedure> SignatureProcedures() {
  std::vector<SignatureProcedure> procedures;
  for (int t = 0; t < kDeviceCount; ++t) {
    const RoutineSet& p = *FindRoutineSet(t);
    const auto same = [&p](const SignatureProcedure& known) {
      return SameSignatureRead(*FindRoutineSet(known.DeviceType), p);
    };
    if (const auto it = std::find_if(procedures.begin(), procedures.end(), same);
        it != procedures.end())
      it->Serves.push_back(t);
    else
      procedures.push_back({t, {t}, p.Family->SignatureRaisesVoltage});
  }
  std::stable_partition(procedures.begin(), procedures.end(),
                        [](const SignatureProcedure& p) { return !p.RaisesVoltage; });
  return procedures;
}

std::optional<int> DeviceOfReading(const SignatureProcedure& procedure,
                                   const std::vector<std::uint8_t>& read) {
  for (int t : procedure.Serves)
    if (JudgeSignature(t, read).Passed()) return t;
  return std::nullopt;
}

std::string IdentityText(const ChipIdentity& identity) {
  switch (identity.Result) {
    case ChipIdentity::Kind::Known:
      return DeviceName(identity.DeviceType) + " (signature " + HexByteList(identity.Signature) +
             ")";
    case ChipIdentity::Kind::Unknown:
      return "unknown chip: signature " + HexByteList(identity.Signature);
    case ChipIdentity::Kind::NoAnswer:
      break;
  }
  return "no chip answered: is the board connected to the port and powered, and a chip seated "
         "in its socket?";
}

bool SocketCheck::WrongChip() const {
  if (Passed() || !Inside) return false;
  return Inside->Result == ChipIdentity::Kind::Unknown ||
         (Inside->Result == ChipIdentity::Kind::Known && Inside->DeviceType != DeviceType);
}

std::string SocketCheckText(const SocketCheck& check) {
  if (check.Passed()) return {};
  const SignatureVerdict& v = check.Verdict;
  const std::string name = DeviceName(check.DeviceType);
  const std::string expected = HexByteList(v.Expected);
  const bool noAnswer = !check.Inside || check.Inside->Result == ChipIdentity::Kind::NoAnswer;
  if (noAnswer && !check.Note.empty()) return check.Note;
  if (noAnswer)
    return "No chip answered (signature " + HexByteList(v.Read) +
           "): is the board connected and the chip seated?";
  const ChipIdentity& inside = *check.Inside;
  if (!check.WrongChip())
    return "The chip answered " + HexByteList(v.Read) + ", then the " + name + "'s " + expected +
           ": is it seated firmly?";
  const std::string holds =
      inside.Found() ? DeviceName(inside.DeviceType) + " (" + HexByteList(inside.Signature) + ")"
                     : "unknown chip (signature " + HexByteList(inside.Signature) + ")";
  return "Wrong chip: the socket holds an " + holds + " where the " + name + " has " + expected +
         ".";
}

}  // namespace kaldo
