#include "frames/magick_policy.h"

#include <Magick++.h>

#include <memory>
#include <string>

const char* const kFrameCoders =
    "{TGA,ICB,VDA,VST,PNG,PNG00,PNG8,PNG24,PNG32,PNG48,PNG64,BMP,BMP2,BMP3,TIFF,TIF,TIFF64,"
    "JPEG,JPG,DPX,CIN,SGI,PSD,PNM,PPM,PGM,PBM,PAM,EXR}";

namespace {

struct ExceptionInfoFree {
  void operator()(MagickCore::ExceptionInfo* e) const { MagickCore::DestroyExceptionInfo(e); }
};

// The library gives a later rule the last word where several match, and a policy given
// through its interface comes after every policy file it found, so these rules hold whatever
// the system's or the user's files say. Resource limits can only be lowered this way.
std::string PolicyText() {
  return std::string(R"(<policymap>
  <policy domain="delegate" rights="none" pattern="*"/>
  <policy domain="coder" rights="none" pattern="*"/>
  <policy domain="coder" rights="read" pattern=")") +
         kFrameCoders + R"("/>
  <policy domain="path" rights="none" pattern="@*"/>
  <policy domain="resource" name="width" value="16384"/>
  <policy domain="resource" name="height" value="16384"/>
  <policy domain="resource" name="area" value="67108864"/>
  <policy domain="resource" name="disk" value="0"/>
</policymap>)";
}

}  // namespace

bool ConfineMagick() {
  std::unique_ptr<MagickCore::ExceptionInfo, ExceptionInfoFree> exception(
      MagickCore::AcquireExceptionInfo());
  if (!exception) return false;
  const std::string policy = PolicyText();
  if (MagickCore::SetMagickSecurityPolicy(policy.c_str(), exception.get()) ==
          MagickCore::MagickFalse ||
      exception->severity >= MagickCore::ErrorException) {
    return false;
  }
  // Trust what the library now answers, not that it accepted the text.
  using MagickCore::IsRightsAuthorized;
  return IsRightsAuthorized(MagickCore::CoderPolicyDomain, MagickCore::ReadPolicyRights, "TGA") &&
         !IsRightsAuthorized(MagickCore::CoderPolicyDomain, MagickCore::ReadPolicyRights, "MVG") &&
         !IsRightsAuthorized(MagickCore::DelegatePolicyDomain, MagickCore::ExecutePolicyRights,
                             "ilbm") &&
         MagickCore::GetMagickResourceLimit(MagickCore::DiskResource) == 0;
}
