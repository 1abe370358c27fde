#include "serial/AfDataDispatcher.h"

TAfDataDispConnComponent::~TAfDataDispConnComponent() = default;

// A dispatcher would be told here; none is ever linked in this program.
void TAfDataDispConnComponent::Close() {}
void TAfDataDispConnComponent::Open() {}
