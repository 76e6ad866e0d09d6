"""The scaling report of bench/run.py --scaling: runs scaling_bench, prints the
cost per item of each path at each n with its growth class, and draws the
costs as an SVG plot (written here, no plotting library needed)."""
import colorsys, json, math, os, subprocess, sys

# Growth classes. e is the exponent of the total cost (cost = c * n^e) fitted
# over n..64n; n log n adds about 0.14 to it at these sizes. Outgrowing the
# caches adds more on this machine (MemoryBaseline, one random visit per
# item, grows by up to ~2x per step), so a path is flagged as worse than
# n log n when e passes 1.3 and its cost per item still grows by more than
# 1.9x over the last step (16n to 64n): quadratic growth gives 4x per step,
# n^1.5 2x, while a one-off step (a cache level, an allocator threshold)
# followed by a flat line is not growth.
LINEAR, N_LOG_N, LAST_STEP = 1.10, 1.30, 1.9
REFERENCE = 'MemoryBaseline'


def run(executable, name_filter):
    # The fastest of three short runs: on a shared machine other processes
    # only ever add time (and evict caches), and more so for the larger n.
    command = [executable, '--benchmark_format=json', '--benchmark_min_time=0.1',
               '--benchmark_repetitions=3']
    if name_filter:
        command.append('--benchmark_filter=' + name_filter)
    out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    best = {}
    for b in json.loads(out)['benchmarks']:
        if b.get('run_type') != 'iteration':
            continue
        name, n = b['run_name'].split('/')[:2]
        ns = b['cpu_time'] * {'ns': 1, 'us': 1e3, 'ms': 1e6, 's': 1e9}[b['time_unit']] / int(n)
        key = (name, int(n))
        best[key] = min(ns, best.get(key, ns))
    paths = {}
    for (name, n), cost in best.items():
        paths.setdefault(name, []).append((n, cost))
    return {name: sorted(points) for name, points in paths.items()}


def exponent(points):
    """Least-squares slope of log(total cost) against log(n)."""
    xs = [math.log(n) for n, _ in points]
    ys = [math.log(cost * n) for n, cost in points]
    mx, my = sum(xs) / len(xs), sum(ys) / len(ys)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)


def classify(e, last_step):
    if e > N_LOG_N and last_step > LAST_STEP:
        return 'WORSE than n log n (~n^%.2f)' % e, True
    if e <= LINEAR:
        return 'n', False
    if last_step <= 1.05:
        return 'n (flat after a step)', False
    return 'n log n', False


def table(paths):
    sizes = sorted({n for points in paths.values() for n, _ in points})
    lines = ['| path | ' + ' | '.join('ns/item at n=%d' % n for n in sizes) +
             ' | exponent | last step | growth |',
             '|---|' + '---:|' * len(sizes) + '---:|---:|---|']
    flagged = []
    for name, points in paths.items():
        cost = dict(points)
        e = exponent(points)
        last_step = points[-1][1] / points[-2][1]
        growth, bad = classify(e, last_step)
        if name == REFERENCE:
            growth, bad = 'reference: memory alone', False
        if bad:
            flagged.append(name)
        cells = ['%.1f' % cost[n] if n in cost else '' for n in sizes]
        lines.append('| %s | %s | %.2f | %.2fx | %s |' % (name, ' | '.join(cells), e, last_step, growth))
    return '\n'.join(lines), flagged


def color(i, count):
    # Neighbours in the legend get hues far apart, and alternate lightness.
    r, g, b = colorsys.hls_to_rgb(i * 0.618034 % 1.0, 0.35 if i % 2 else 0.5, 0.8)
    return '#%02x%02x%02x' % (int(r * 255), int(g * 255), int(b * 255))


def svg(paths, flagged):
    width, height = 980, 600
    left, right, top, bottom = 70, 300, 50, 60
    pw, ph = width - left - right, height - top - bottom
    ns = [n for points in paths.values() for n, _ in points]
    costs = [c for points in paths.values() for _, c in points]
    x0, x1 = math.log10(min(ns)), math.log10(max(ns))
    y0, y1 = math.floor(math.log10(min(costs))), math.ceil(math.log10(max(costs)))
    if y1 == y0:
        y1 += 1

    def x(n):
        return left + (math.log10(n) - x0) / (x1 - x0) * pw

    def y(c):
        return top + ph - (math.log10(c) - y0) / (y1 - y0) * ph

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="12">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="24" font-size="15" font-weight="bold">Cost per item against input '
           'size (flat: linear; dashed: worse than n log n; dotted: memory alone)</text>' % left]
    for d in range(y0, y1 + 1):
        yy = y(10 ** d)
        out.append('<line x1="%d" x2="%d" y1="%.1f" y2="%.1f" stroke="#ddd"/>' % (left, left + pw, yy, yy))
        label = '%g ns' % 10 ** d if d < 3 else ('%g us' % 10 ** (d - 3) if d < 6 else '%g ms' % 10 ** (d - 6))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%s</text>' % (left - 6, yy + 4, label))
    for n in sorted(set(ns)):
        xx = x(n)
        out.append('<line x1="%.1f" x2="%.1f" y1="%d" y2="%d" stroke="#ddd"/>' % (xx, xx, top, top + ph))
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%d</text>' % (xx, top + ph + 18, n))
    out.append('<text x="%d" y="%d" text-anchor="middle">items in the input (n, log scale)</text>'
               % (left + pw // 2, height - 16))
    out.append('<text transform="translate(16,%d) rotate(-90)" text-anchor="middle">CPU time per item '
               '(log scale)</text>' % (top + ph // 2))
    out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="none" stroke="#888"/>' % (left, top, pw, ph))
    for i, (name, points) in enumerate(paths.items()):
        c = color(i, len(paths))
        dash = ' stroke-dasharray="6,4"' if name in flagged else (
            ' stroke-dasharray="1,3"' if name == REFERENCE else '')
        line = ' '.join('%.1f,%.1f' % (x(n), y(cost)) for n, cost in points)
        out.append('<polyline points="%s" fill="none" stroke="%s" stroke-width="2"%s/>' % (line, c, dash))
        for n, cost in points:
            out.append('<circle cx="%.1f" cy="%.1f" r="3" fill="%s"/>' % (x(n), y(cost), c))
        ly = top + 8 + i * 18
        out.append('<line x1="%d" x2="%d" y1="%d" y2="%d" stroke="%s" stroke-width="2"%s/>'
                   % (left + pw + 16, left + pw + 40, ly, ly, c, dash))
        out.append('<text x="%d" y="%d">%s%s</text>' % (left + pw + 46, ly + 4, name,
                                                        ' (worse than n log n)' if name in flagged else ''))
    out.append('</svg>')
    return '\n'.join(out) + '\n'


def main(executable, name_filter, svg_path):
    paths = run(executable, name_filter)
    text, flagged = table(paths)
    print(text)
    print()
    print('flagged (worse than n log n): ' + (', '.join(flagged) if flagged else 'none'))
    if svg_path:
        os.makedirs(os.path.dirname(os.path.abspath(svg_path)), exist_ok=True)
        with open(svg_path, 'w') as f:
            f.write(svg(paths, flagged))
        print('plot: ' + os.path.relpath(svg_path))
    return 0
