// Previews while decoding: at the end of each coding pass the job asks the
// preview stream whether it wants an image now, and renders the decoder's
// current coefficients (a whole, coarser image) into the stream's external
// buffer. See TXjob::RenderPreview / OfferPreview (preview.cpp).
#pragma once

#include "codec/job.h"
