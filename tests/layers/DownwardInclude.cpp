// The certificate layer sees its own headers and those of the layers below it.
#include "cert/CertStore.h"
#include "codec/ByteBuffer.h"
#include "engine/ResultCodes.h"
#include "platform/Certificates.h"

int LayerProbeDownward() {
  return zyq::result::kSuccess;
}
