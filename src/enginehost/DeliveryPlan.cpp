#include "enginehost/DeliveryPlan.h"

DeliveryPlan::~DeliveryPlan() = default;
