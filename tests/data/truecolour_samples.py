# Truecolour files as Pillow writes them, each with what Pillow itself decodes:
# NAME.txt holds "width height tag... | pillow-psnr" (the tags in 1/100 s, one a
# frame; the PSNR of Pillow's own 256-colour quantising of the first frame, 0 for
# pictures of at most 256 colours), NAME.rgba every frame as RGBA, top row first.
import math, struct, sys, zlib
from PIL import Image, ImageOps

W, H = 48, 32
SPRITE = [(0, 0, 0), (255, 255, 255), (200, 30, 40), (30, 200, 40), (40, 30, 200),
          (250, 200, 10), (10, 200, 250), (128, 64, 32), (90, 90, 90), (250, 120, 200)]
ALPHAS = [255, 0, 60, 127, 128, 200]


def sprite(alpha=False, shift=0):
    im = Image.new('RGBA', (W, H))
    im.putdata([SPRITE[((x + shift) // 5 + y // 4) % len(SPRITE)] +
                ((ALPHAS[(x // 3 + y) % len(ALPHAS)] if alpha else 255),)
                for y in range(H) for x in range(W)])
    return im


def photo(shift=0):
    im = Image.new('RGB', (W, H))
    im.putdata([((x * 5 + shift * 7) % 256, (y * 8 + x) % 256, (x * y + 3 * shift) % 256)
                for y in range(H) for x in range(W)])
    return im


def png16(name, alpha):
    # Pillow writes no 16-bit colour PNG: built here, samples spread over 0..65535.
    channels = 4 if alpha else 3
    rows, expected = b'', []
    for y in range(H):
        rows += b'\0'
        for x in range(W):
            v = [(x * 1361 + y * 17) % 65536, (y * 2039 + 5) % 65536, (x * y * 97) % 65536,
                 (x * 5000) % 65536]
            rows += struct.pack('>' + 'H' * channels, *v[:channels])
            expected.append(tuple((s * 255 + 32895) >> 16 for s in v[:3]) +
                            (((v[3] * 255 + 32895) >> 16) if alpha else 255,))

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack(
            '>I', zlib.crc32(kind + body) & 0xFFFFFFFF)
    ihdr = struct.pack('>IIBBBBB', W, H, 16, 6 if alpha else 2, 0, 0, 0)
    open(name, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) +
                           chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))
    im = Image.new('RGBA', (W, H))
    im.putdata(expected)
    return [im], [0]


def quantised_psnr(rgb):
    back = rgb.convert('P', palette=Image.ADAPTIVE, colors=256).convert('RGB')
    a, b = rgb.tobytes(), back.tobytes()
    err = sum((p - q) ** 2 for p, q in zip(a, b)) / len(a)
    return 99.0 if err == 0 else 10 * math.log10(255 * 255 / err)


def record(name, frames, tags):
    first = frames[0].convert('RGB')
    many = len(first.getcolors(1 << 24)) > 256
    with open(name + '.txt', 'w') as out:
        out.write('%d %d %s | %f\n' % (frames[0].width, frames[0].height,
                                       ' '.join(map(str, tags)),
                                       quantised_psnr(first) if many else 0))
    with open(name + '.rgba', 'wb') as out:
        for f in frames:
            out.write(f.convert('RGBA').tobytes())


def read_back(name, transpose=False):
    im = Image.open(name)
    frames, tags = [], []
    for k in range(getattr(im, 'n_frames', 1)):
        im.seek(k)
        frames.append((ImageOps.exif_transpose(im) if transpose else im).convert('RGBA'))
        tags.append((im.info.get('duration', 0) + 5) // 10)
    return frames, tags


def grey16(name):
    im = Image.new('I;16', (W, H))
    im.putdata([(x * 1361 + y * 977) % 65536 for y in range(H) for x in range(W)])
    im.save(name)
    # Grey files keep their ramp: each sample's high byte.
    shown = Image.new('L', (W, H))
    shown.putdata([v >> 8 for v in Image.open(name).getdata()])
    return [shown], [0]


def orient(k):
    exif = Image.Exif()
    exif[0x0112] = k
    return exif


made = {}  # files whose expected pictures are made here rather than read back
sprite().convert('RGB').save('rgb.png')
sprite(alpha=True).save('rgba.png')
sprite(alpha=True).convert('LA').save('la.png')
photo().save('photo.png')
sprite().convert('RGB').save('b24.bmp')
sprite(alpha=True).save('b32.bmp')
photo().save('baseline.jpg', quality=90)
photo().save('progressive.jpg', quality=90, progressive=True)
sprite().convert('L').save('grey.jpg')
for k in range(1, 9):
    photo().convert('L').save('grey-o%d.jpg' % k, exif=orient(k))
photo().save('photo-o6.jpg', quality=95, exif=orient(6))
sprite(alpha=True).save('still-lossless.webp', lossless=True)
photo().save('still-lossy.webp', quality=80)
moving = [sprite(alpha=True, shift=s) for s in (0, 2, 3, 9, 12)]
moving[0].save('anim-lossless.webp', save_all=True, append_images=moving[1:], lossless=True,
               duration=[30, 45, 104, 15, 70])
lossy = [photo(s) for s in range(3)]
lossy[0].save('anim-lossy.webp', save_all=True, append_images=lossy[1:], quality=85,
              duration=[40, 40, 120])
made['rgba16.png'] = png16('rgba16.png', True)
made['grey16.png'] = grey16('grey16.png')

for name in sys.argv[1:]:
    frames, tags = made.get(name) or read_back(name, name.endswith('.jpg'))
    record(name, frames, tags)
