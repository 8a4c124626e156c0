#include "enginehost/ClientChannel.h"

ClientChannel::~ClientChannel() = default;
