#!/usr/bin/env python3
"""Writes the small seed inputs committed in fuzz/corpus (run from anywhere: python3 make_seeds.py).

Each target gets a few inputs that reach its main paths; the replay tests add the entries of the
shared fixtures where those are present."""
import io, os, struct, zipfile, zlib

HERE = os.path.dirname(os.path.abspath(__file__))
TEXT = b''.join(b'label %d of the ruvevid seed corpus\n' % (i * 37 % 101) for i in range(200))


def save(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def raw_deflate(data, level, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, 9, strategy)
    return c.compress(data) + c.flush()


class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)


def archive(method, streamed=False, comment=b''):
    out = io.BytesIO()
    target = Unseekable(out) if streamed else out
    with zipfile.ZipFile(target, 'w', method) as z:
        z.writestr('dir/', b'')
        z.writestr('dir/a.txt', TEXT)
        z.writestr('b.bin', bytes(range(256)) * 4)
        z.comment = comment
    return out.getvalue()


# The whole-archive target: stored, deflated, streamed (data descriptors), a comment, zip64
# records, a prefix, a split marker, an enciphered-looking marker.
save('zip_archive', 'stored.zip', archive(zipfile.ZIP_STORED))
save('zip_archive', 'deflated.zip', archive(zipfile.ZIP_DEFLATED))
save('zip_archive', 'streamed.zip', archive(zipfile.ZIP_DEFLATED, streamed=True))
save('zip_archive', 'streamed-stored.zip', archive(zipfile.ZIP_STORED, streamed=True))
save('zip_archive', 'comment.zip', archive(zipfile.ZIP_STORED, comment=b'PK\x05\x06' + bytes(18)))
z64 = io.BytesIO()
with zipfile.ZipFile(z64, 'w', zipfile.ZIP_DEFLATED) as z:
    with z.open('big.txt', 'w', force_zip64=True) as w:
        w.write(TEXT)
save('zip_archive', 'zip64.zip', z64.getvalue())
save('zip_archive', 'prefixed.zip', b'#!/bin/sh\nexit 0\n' + archive(zipfile.ZIP_DEFLATED))
save('zip_archive', 'split-marker.zip', b'PK\x07\x08' + archive(zipfile.ZIP_STORED))
save('zip_archive', 'empty.zip', struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0, 0, 0, 0, 0))

save('inflate', 'stored-blocks', b'\x00' + raw_deflate(TEXT, 0))
save('inflate', 'fixed', b'\x01' + raw_deflate(TEXT, 9, zlib.Z_FIXED))
save('inflate', 'dynamic', b'\x00' + raw_deflate(TEXT, 9))
save('inflate', 'dynamic-chunked', b'\x03' + raw_deflate(TEXT * 4, 6))
save('inflate', 'runs', b'\x02' + raw_deflate(b'a' * 70000, 9))
# Deflate data is deflate64 data too as long as it keeps to the common codes.
save('deflate64', 'fixed', b'\x00' + raw_deflate(TEXT, 9, zlib.Z_FIXED))
save('deflate64', 'dynamic', b'\x05' + raw_deflate(TEXT, 9))
save('deflate64', 'stored-blocks', b'\x00' + raw_deflate(TEXT, 0))

# The legacy decoders: no tool here writes these methods, so the committed seeds are short
# streams of each variant's first byte; the replay adds the fixtures' real entries.
for m in (1,):
    save('shrink', 'prefix', bytes([m * 8]) + raw_deflate(TEXT, 1)[:200])
for m in (2, 3, 4, 5):
    save('reduce', 'factor%d' % (m - 1), bytes([m * 8]) + TEXT[:300])
for flags in (0, 2, 4, 6):
    save('implode', 'flags%d' % flags, bytes([6 * 8 + flags]) + raw_deflate(TEXT, 9)[:300])

# The cipher: password, flags, CRC, time, encryption header, data.
for flags in (0, 8):
    pw = b'secret'
    save('cipher', 'flags%d' % flags,
         bytes([len(pw)]) + pw + struct.pack('<HII', flags, 0x12345678, 0x5A5D0000) +
         bytes(range(12)) + TEXT[:100])
