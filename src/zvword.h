// The whole public surface of the library: the readers, their base and output list, the summary
// properties, streams and errors, the registry that detects a format and creates its reader, and
// Extract, from a document to its text in one call.
#pragma once

#include "design/Extract.h"
#include "design/MSWordReg.h"
#include "framework/MSWBase.h"
#include "framework/MSW_Sum.h"
#include "legacy/MSPalmDoc.h"
#include "packages/MSWOO.h"
#include "legacy/MSWPD.h"
#include "legacy/MSWRI.h"
#include "packages/MSWEPub.h"
#include "packages/MSWFB2.h"
#include "packages/MSWordX.h"
#include "pdf/ZvWPDF.h"
#include "platform/CodePages.h"
#include "platform/Exception.h"
#include "platform/Streams.h"
#include "platform/Types.h"
#include "word/MSWord.h"
