#include "UploadTarget.h"

void UploadTarget::Deliver(Shot& shot)
{
    host().CaptureUpload(shot.bitmap);
}
