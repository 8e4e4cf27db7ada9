// The certificate layer must not see a family above it: this include fails to build.
#include "sign/Signer.h"

int LayerProbeUpward() {
  return 0;
}
