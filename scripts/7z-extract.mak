# 7-Zip's 7z extraction library for gcc: the objects of its own
# Format7zExtractR bundle (7z decoding only: LZMA, LZMA2, BCJ, BCJ2, the
# branch and delta filters, copy) and the PPMd decoder as its Format7zExtract
# bundle has it (the payload's text is PPMd, which packs it a fifth smaller
# than LZMA2 with the same memory; no BZip2, Deflate or AES), single-threaded.
# Run from the Format7zExtractR folder:
# make -C CPP/7zip/Bundles/Format7zExtractR -f <this file> ...
#
# Single-threaded because the payload's blocks decode one after the other:
# the library's multithreaded LZMA2 decoder would only buffer a block's whole
# output in memory before writing it, with no second thread to share the work.
PROG = 7z
DEF_FILE = ../../Archive/Archive2.def
NO_DEFAULT_RES = 1

include ../../LzmaDec_gcc.mak

LOCAL_FLAGS = -DZ7_EXTRACT_ONLY -DZ7_NO_CRYPTO -DZ7_ST

COMMON_OBJS = \
  $O/CRC.o \
  $O/CrcReg.o \
  $O/IntToString.o \
  $O/NewHandler.o \
  $O/MyString.o \
  $O/StringConvert.o \
  $O/StringToInt.o \
  $O/MyVector.o \
  $O/Wildcard.o \

WIN_OBJS = \
  $O/PropVariant.o \
  $O/System.o \

7ZIP_COMMON_OBJS = \
  $O/CreateCoder.o \
  $O/CWrappers.o \
  $O/InBuffer.o \
  $O/FilterCoder.o \
  $O/LimitedStreams.o \
  $O/MethodId.o \
  $O/MethodProps.o \
  $O/OutBuffer.o \
  $O/ProgressUtils.o \
  $O/PropId.o \
  $O/StreamObjects.o \
  $O/StreamUtils.o \

AR_OBJS = \
  $O/ArchiveExports.o \
  $O/DllExports2.o \

AR_COMMON_OBJS = \
  $O/CoderMixer2.o \
  $O/HandlerOut.o \
  $O/ItemNameUtils.o \
  $O/OutStreamWithCRC.o \
  $O/ParseProperties.o \

7Z_OBJS = \
  $O/7zCompressionMode.o \
  $O/7zDecode.o \
  $O/7zExtract.o \
  $O/7zHandler.o \
  $O/7zHeader.o \
  $O/7zIn.o \
  $O/7zProperties.o \
  $O/7zRegister.o \

COMPRESS_OBJS = \
  $O/CodecExports.o \
  $O/Bcj2Coder.o \
  $O/Bcj2Register.o \
  $O/BcjCoder.o \
  $O/BcjRegister.o \
  $O/BranchMisc.o \
  $O/BranchRegister.o \
  $O/ByteSwap.o \
  $O/CopyCoder.o \
  $O/CopyRegister.o \
  $O/DeltaFilter.o \
  $O/Lzma2Decoder.o \
  $O/Lzma2Register.o \
  $O/LzmaDecoder.o \
  $O/LzmaRegister.o \
  $O/PpmdDecoder.o \
  $O/PpmdRegister.o \

C_OBJS = \
  $O/7zCrc.o \
  $O/7zCrcOpt.o \
  $O/7zStream.o \
  $O/Alloc.o \
  $O/Bcj2.o \
  $O/Bra.o \
  $O/Bra86.o \
  $O/BraIA64.o \
  $O/CpuArch.o \
  $O/Delta.o \
  $O/Lzma2Dec.o \
  $O/Lzma2DecMt.o \
  $O/LzmaDec.o \
  $O/MtDec.o \
  $O/Ppmd7.o \
  $O/Ppmd7Dec.o \
  $O/SwapBytes.o \
  $O/Threads.o \

OBJS = \
  $(LZMA_DEC_OPT_OBJS) \
  $(C_OBJS) \
  $(COMMON_OBJS) \
  $(WIN_OBJS) \
  $(7ZIP_COMMON_OBJS) \
  $(AR_OBJS) \
  $(AR_COMMON_OBJS) \
  $(7Z_OBJS) \
  $(COMPRESS_OBJS) \

include ../../7zip_gcc.mak
