"""The pixels of a picture as 8-bit RGB bytes, read through ImageMagick's PPM output."""
import subprocess


def load(path, crop=None):
    """(width, height, pixels) of the picture at `path`, or of the part `crop` ("WxH+X+Y")."""
    args = ["convert", path] + (["-crop", crop, "+repage"] if crop else []) + ["-depth", "8", "ppm:-"]
    data = subprocess.run(args, capture_output=True, check=True).stdout
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    return int(fields[1]), int(fields[2]), data[pos + 1:]
