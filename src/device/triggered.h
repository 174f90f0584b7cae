#pragma once
// Triggered sending, free of widgets: the sensor sends a measurement frame on its own each
// time it is triggered, from command 30 with parameter 1 until command 30 with parameter 0.
// The recorder's triggered mode and velorax-cli switch it on and off with these.

#include "link/link.h"

namespace device {

// Command 30, parameter 1; Ok() when the sensor took it.
sensorlink::Exchange StartTriggeredSending(sensorlink::Link& link);

// Command 30, parameter 1 again while frames may be coming: they are passed over until the
// acknowledgement. Its answer proves the line when the sensor has been quiet for a while,
// and a sensor that was switched off and on (and forgot) sends on its trigger again.
sensorlink::Exchange ConfirmTriggeredSending(sensorlink::Link& link);

// Command 30, parameter 0, whatever ended the frames, also after a bad one. Frames triggered
// meanwhile may still come, one of them half sent: they are passed over until the
// acknowledgement, the reply without a payload. A line that is gone has been reported
// already and is not asked again (the outcome is then LinkDown).
sensorlink::Exchange StopTriggeredSending(sensorlink::Link& link);

}  // namespace device
