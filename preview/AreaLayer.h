#pragma once

#include "preview/Layer.h"

// The selected area: draws nothing, and follows the selection frame, whose
// child it is. Its location is what a scan with "Custom" sends.
class AreaLayer : public Layer {
 public:
  using Layer::Layer;
};
