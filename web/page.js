'use strict';
// The page: palette files in, one card each out, and KiSS sets in, each
// its doll beside its palettes' cards. Reading and writing palettes and
// sets is the module's and plughost's, through the bindings openPalette,
// savePalette, unpackSet and readSet (page_bindings.cpp); this script shows what they
// answer, keeps the colours picked and their undo, and draws the doll
// from the cels readSet hands it in the colours its palettes' cards hold.
(() => {
  const status = document.getElementById('status');
  const picker = document.getElementById('picker');
  let picking = null;  // {section, index} of the swatch the picker edits

  // zentrow-wasm.js holds the WebAssembly gzipped and in base64, so that the
  // page loads from file:// (where nothing may be fetched) and stays small.
  async function loadModule() {
    const packed = Uint8Array.from(atob(ZENTROW_WASM), (c) => c.charCodeAt(0));
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
    const wasmBinary = new Uint8Array(await new Response(stream).arrayBuffer());
    return ZentrowModule({ wasmBinary });
  }
  // A palette of ten groups opened once as the page loads, and thrown away:
  // the browser compiles the WebAssembly's functions as they are first
  // called, so the first palette a user opens is as quick as the rest.
  function warmUp(m) {
    m.openPalette('warm-up.' + m.paletteExtension(), m.warmUpPalette(), 0, 10);
    const set = 'warm-up.' + m.setExtensions().archive;
    m.unpackSet([set], [m.warmUpSet()], set);
    m.readSet();
  }
  // The formats a palette can be written as, from the host's table of
  // formats, and the extension palettes are chosen by.
  let written = [];
  function offerFormats(m) {
    written = m.writtenFormats().map((f) => ({
      extension: f.extension, label: f.name + (f.swatch ? ' swatch' : '') + ' (.' + f.extension + ')' }));
    const choice = document.getElementById('convert-format');
    for (const format of written) choice.add(new Option(format.label, format.extension));
    const kinds = m.setExtensions();
    const taken = [m.paletteExtension(), kinds.archive, kinds.configuration, kinds.cel];
    document.getElementById('files').accept =
      taken.flatMap((e) => ['.' + e, '.' + e.toUpperCase()]).join(',');
  }
  const module = loadModule().then((m) => {
    warmUp(m);
    offerFormats(m);
    status.textContent = 'Choose or drop palettes or sets to open them.';
    return m;
  }, (e) => {
    status.textContent = 'zentrow-wasm.js: the module could not be started: ' + e;
    throw e;
  });

  const hex = (p, i) => '#' + [p[i * 3], p[i * 3 + 1], p[i * 3 + 2]]
    .map((v) => v.toString(16).padStart(2, '0')).join('');
  // The pixels of a layer that are entries of the file: a group of 16
  // colours is 16 swatches, not the module's 16 x 16 image of them.
  const entries = (layer) => (layer.colours >= 0
    ? Math.min(layer.colours, layer.rows * layer.columns) : layer.rows * layer.columns);
  const kColumns = 16;

  // A big palette opens a part at a time, each about this long and of at
  // most so many groups, so that the page answers clicks, keys and
  // scrolling between the parts: a part now and then takes three times as
  // long as the one before it.
  const kPartMs = 10;
  const kMostPerPart = 128;
  const later = () => new Promise((resolve) => setTimeout(resolve, 0));

  // The palette `name` of `bytes` opened part by part: each answer of
  // openPalette handed to `each(told, first)`, which says whether to go on.
  async function inParts(m, name, bytes, each) {
    let first = 0;
    let count = 32;
    let groups = 0;
    do {
      const started = performance.now();
      const told = m.openPalette(name, bytes, first, count);
      const took = performance.now() - started;
      if (!each(told, first)) return false;
      groups = told.groups;
      first += count;
      // Grown or shrunk by half at most, as the same work takes from 10 to 40 ms.
      const fitting = Math.min(count * 2, Math.max(count / 2, count * kPartMs / Math.max(took, 1)));
      count = Math.max(1, Math.min(kMostPerPart, Math.round(fitting)));
      if (first < groups) await later();
    } while (first < groups);
    return true;
  }

  function paint(button, layer, index) {
    const value = hex(layer.pixels, index);
    button.style.background = value;
    button.dataset.hex = value;
    button.setAttribute('aria-label', layer.name + ', colour ' + index + ': ' + value);
  }

  // A group has its swatches while it is near the view, and gives them up
  // when it is far from it (unless one has the focus), so that scrolling
  // through 4,000 groups keeps only those in view; otherwise its grid is
  // empty, at the size its swatches will take.
  const filler = new IntersectionObserver((seen) => {
    for (const entry of seen) {
      if (entry.isIntersecting) fill(entry.target);
      else empty(entry.target);
    }
  }, { rootMargin: '50% 0px' });

  function fill(section) {
    const { layer, grid } = section.group;
    if (grid.children.length > 0) return;
    grid.removeAttribute('tabindex');
    for (let i = 0; i < entries(layer); ++i) {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'swatch';
      button.tabIndex = i === 0 ? 0 : -1;
      button.dataset.index = String(i);
      paint(button, layer, i);
      grid.appendChild(button);
    }
  }

  function empty(section) {
    const { grid } = section.group;
    if (grid.children.length === 0 || grid.contains(document.activeElement)) return;
    grid.textContent = '';
    grid.tabIndex = 0;
  }

  function repaint(section) {
    const { layer, grid } = section.group;
    for (const button of grid.children) paint(button, layer, Number(button.dataset.index));
  }

  // Arrow keys move along the grid; Home and End to its ends.
  function moveFocus(grid, event) {
    const buttons = grid.children;
    const columns = Number(grid.dataset.columns);
    const at = Array.prototype.indexOf.call(buttons, event.target);
    const step = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -columns, ArrowDown: columns }[event.key];
    const to = step !== undefined ? at + step : event.key === 'Home' ? 0
      : event.key === 'End' ? buttons.length - 1 : -1;
    if (at < 0 || to < 0 || to >= buttons.length) return;
    event.preventDefault();
    buttons[at].tabIndex = -1;
    buttons[to].tabIndex = 0;
    buttons[to].focus();
  }

  // The chooser opens beside the swatch it changes.
  function choose(section, button) {
    picking = { section, index: Number(button.dataset.index) };
    const box = button.getBoundingClientRect();
    picker.style.left = box.left + 'px';
    picker.style.top = box.bottom + 'px';
    picker.value = button.dataset.hex;
    picker.click();
  }

  function placeGroup(card, palette, layer, into) {
    const section = document.createElement('section');
    section.className = 'group';
    const title = document.createElement('h3');
    title.textContent = layer.name;
    const grid = document.createElement('div');
    grid.className = 'grid';
    const count = entries(layer);
    const columns = Math.max(1, Math.min(count, kColumns));
    grid.dataset.columns = String(columns);
    grid.style.setProperty('--columns', columns);
    grid.style.setProperty('--rows', Math.max(1, Math.ceil(count / kColumns)));
    grid.setAttribute('role', 'group');
    grid.setAttribute('aria-label', layer.name + ': ' + count + ' colours; arrow keys move, Enter changes one');
    grid.addEventListener('keydown', (e) => moveFocus(grid, e));
    // Tab reaches a group not drawn yet as it reaches a drawn one's first
    // swatch: the grid itself, which then draws its swatches and hands on
    // the focus.
    grid.tabIndex = 0;
    grid.addEventListener('focus', () => {
      fill(section);
      if (grid.firstChild) grid.firstChild.focus();
    });
    grid.addEventListener('click', (e) => {
      if (e.target.classList.contains('swatch')) choose(section, e.target);
    });
    section.group = { card, palette, layer, grid };
    section.append(title, grid);
    into.appendChild(section);
    filler.observe(section);
    return section;
  }

  // What the module said of the palette: its refusal, and each note once
  // (a note on every group of a file said once for the file).
  function tell(card, told) {
    const refusal = card.querySelector('.refusal');
    refusal.textContent = told.refusal;
    refusal.hidden = !told.refusal;
    const notes = card.querySelector('.notes');
    notes.textContent = '';
    for (const note of new Set(told.notes)) {
      const item = document.createElement('li');
      item.textContent = note;
      notes.appendChild(item);
    }
  }

  function download(bytes, name) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  const sizeText = (n) => n.toLocaleString('en-US') + (n === 1 ? ' byte' : ' bytes');

  // After a save in the palette's own form, its swatches show what the file
  // now holds (a 12-bit palette keeps 4 bits a channel), read back through
  // the module from the bytes written.
  async function showAsWritten(m, card, bytes) {
    const { name, sections } = card.palette;
    card.palette.bytes = bytes;
    await inParts(m, name, bytes, (told, first) => {
      if (!told.layers) return false;
      told.layers.forEach((layer, k) => {
        const section = sections[first + k];
        if (!section) return;
        section.group.layer.pixels.set(layer.pixels);
        repaint(section);
      });
      return true;
    });
    coloursChanged(card);
  }

  function save(m, card) {
    const { bytes, name, layers } = card.palette;
    const format = card.querySelector('.format').value;
    const layer = Number(card.querySelector('.layer').value);
    const told = m.savePalette(name, bytes, format, layer, layers);
    tell(card, told);
    if (told.refusal) {
      status.textContent = told.refusal;
      return;
    }
    const saved = m.FS.readFile(told.file);
    download(saved, told.name);
    status.textContent = 'Saved ' + told.name + ', ' + sizeText(saved.length) + '.';
    if (format === 'kcf') showAsWritten(m, card, saved);
  }

  // Each change keeps what it changed: the group's colours and the
  // palette's bytes before it, and the swatch to go back to.
  function keepForUndo(palette, section, what, index) {
    palette.undo.push({ section, what, index, pixels: section.group.layer.pixels.slice(), bytes: palette.bytes });
    section.group.card.querySelector('.undo').disabled = false;
  }

  function undo(card) {
    const last = card.palette.undo.pop();
    if (!last) return;
    const { layer, grid } = last.section.group;
    layer.pixels.set(last.pixels);
    card.palette.bytes = last.bytes;
    repaint(last.section);
    coloursChanged(card);
    card.querySelector('.undo').disabled = card.palette.undo.length === 0;
    status.textContent = 'Undone: ' + last.what + '.';
    const button = grid.children[last.index];
    if (button) button.focus();
  }

  // A file dropped on a group: its colours put into that group, as
  // plughost's save --into puts them.
  async function bringIn(m, section, file) {
    const { card, palette, layer } = section.group;
    const told = m.putColours(palette.name, palette.bytes, palette.layers, palette.sections.indexOf(section),
                              file.name, new Uint8Array(await file.arrayBuffer()));
    tell(card, told);
    if (!told.bytes) {
      status.textContent = told.refusal || 'The colours of ' + file.name + ' could not be put in.';
      return;
    }
    const first = palette.sections.indexOf(section);
    const opened = m.openPalette(palette.name, told.bytes, first, 1);
    if (!opened.layers || opened.layers.length !== 1) {
      tell(card, opened);
      status.textContent = opened.refusal;
      return;
    }
    keepForUndo(palette, section, 'the colours of ' + file.name + ' in ' + layer.name, 0);
    palette.bytes = told.bytes;
    layer.pixels.set(opened.layers[0].pixels);
    repaint(section);
    coloursChanged(card);
    status.textContent = 'Put the colours of ' + file.name + ' into ' + layer.name + '.';
  }

  function takeDrops(m, card, groups) {
    const target = (e) => (card.palette && e.dataTransfer.types.includes('Files')
      ? e.target.closest('.group') : null);
    for (const type of ['dragenter', 'dragover']) {
      groups.addEventListener(type, (e) => {
        const section = target(e);
        if (!section) return;
        e.preventDefault();
        section.classList.add('over');
      });
    }
    groups.addEventListener('dragleave', (e) => {
      const section = e.target.closest('.group');
      if (section) section.classList.remove('over');
    });
    groups.addEventListener('drop', (e) => {
      const section = target(e);
      if (!section) return;
      e.preventDefault();
      section.classList.remove('over');
      if (e.dataTransfer.files.length > 0) bringIn(m, section, e.dataTransfer.files[0]);
    });
  }

  function newCard(name, into = document.getElementById('palettes')) {
    const card = document.getElementById('palette-card').content.firstElementChild.cloneNode(true);
    card.querySelector('.name').textContent = name;
    for (const tools of card.querySelectorAll('.tools')) tools.hidden = true;
    into.appendChild(card);
    return card;
  }

  // A palette's colours changed on its card: the doll it colours, if any,
  // drawn again.
  function coloursChanged(card) {
    if (card.onColours) card.onColours();
  }

  // The card's tools, once every group is open: saving needs them all.
  function offerTools(m, card) {
    const { layers } = card.palette;
    const formats = card.querySelector('.format');
    for (const format of written) formats.add(new Option(format.label, format.extension));
    // Which group matters only when one group is written.
    const which = card.querySelector('.which');
    const showWhich = () => { which.hidden = layers.length < 2 || formats.value === 'kcf'; };
    formats.addEventListener('change', showWhich);
    showWhich();
    card.querySelector('.save').addEventListener('click', () => save(m, card));
    card.querySelector('.undo').addEventListener('click', () => undo(card));
    takeDrops(m, card, card.querySelector('.groups'));
    // What a drop does, for those who choose a file instead.
    const bring = card.querySelector('.bring-in');
    bring.addEventListener('change', () => {
      const section = card.palette.sections[Number(card.querySelector('.into').value)];
      if (bring.files.length > 0 && section) bringIn(m, section, bring.files[0]);
      bring.value = '';
    });
    card.addEventListener('keydown', (e) => {
      if ((e.ctrlKey || e.metaKey) && e.key === 'z') { e.preventDefault(); undo(card); }
    });
    for (const tools of card.querySelectorAll('.tools')) tools.hidden = false;
  }

  // The palette opened onto its card a part at a time, its first groups
  // shown while the rest open; a refusal of any part is the palette's.
  async function openOnto(m, card, name, bytes) {
    const started = performance.now();
    const palette = { name, bytes, layers: [], sections: [], undo: [] };
    const notes = [];
    const groups = card.querySelector('.groups');
    const opened = await inParts(m, name, bytes, (told, first) => {
      notes.push(...told.notes);
      tell(card, { refusal: told.refusal, notes });
      if (told.refusal || !told.layers) return false;
      if (first === 0) {
        card.querySelector('.form').textContent = told.form || '';
        card.querySelector('.history').textContent = told.history ? 'History note: ' + told.history : '';
      }
      const choices = [card.querySelector('.layer'), card.querySelector('.into')];
      for (const layer of told.layers) {
        for (const choice of choices) choice.add(new Option(layer.name, String(palette.layers.length)));
        palette.layers.push(layer);
        palette.sections.push(placeGroup(card, palette, layer, groups));
      }
      if (first === 0) card.dataset.firstMs = (performance.now() - started).toFixed(3);
      return true;
    });
    card.dataset.openMs = (performance.now() - started).toFixed(3);
    if (!opened) {
      groups.textContent = '';
      card.querySelector('.form').textContent = '';
      return false;
    }
    card.palette = palette;
    offerTools(m, card);
    return true;
  }

  picker.addEventListener('change', () => {
    if (!picking) return;
    const { section, index } = picking;
    const { palette, layer, grid } = section.group;
    const colour = [1, 3, 5].map((k) => parseInt(picker.value.slice(k, k + 2), 16));
    fill(section);  // given up while the chooser was open
    const button = grid.children[index];
    keepForUndo(palette, section, button.getAttribute('aria-label'), index);
    layer.pixels.set(colour, index * 3);
    paint(button, layer, index);
    coloursChanged(section.group.card);
    status.textContent = 'Changed ' + button.getAttribute('aria-label');
    button.focus();
  });

  // Every palette opened, in the order of its card, as its file holds it.
  function convertAll(m) {
    const opened = [...document.querySelectorAll('.palette')].filter((c) => c.palette);
    const names = opened.map((c) => c.palette.name);
    const contents = opened.map((c) => c.palette.bytes);
    const told = m.convertPalettes(names, contents, document.getElementById('convert-format').value);
    const said = [];
    if (told.failed) {
      said.push(told.failed + ' of ' + names.length + ' palettes could not be converted: ' + told.refusal);
    } else if (told.refusal) {
      said.push(told.refusal);
    }
    if (told.file) {
      said.push(told.files + ' files from ' + names.length + ' palettes in ' + told.name + '.');
      download(m.FS.readFile(told.file), told.name);
    }
    status.textContent = said.join(' ') || 'Nothing was converted.';
    // A line a palette: how many files it gave, or why none.
    const lines = document.getElementById('converted');
    lines.textContent = '';
    for (const palette of told.palettes) {
      const line = document.createElement('li');
      line.textContent = palette.refusal ||
        palette.name + ': ' + palette.files + (palette.files === 1 ? ' file' : ' files');
      lines.appendChild(line);
    }
  }

  // KiSS sets. readSet hands over the doll's parts once: each cel's pixels
  // (indices into its palette's group, or colours of their own), object,
  // palette and sets, and each set's positions and group. For the set shown
  // the cels are flattened into one key a pixel, what the top-most cel
  // there shows (the first listed lies on top): palette * 256 + index, or a
  // colour of a cel of colours; a colour changed then redraws the doll with
  // one look-up a pixel, in the colours the palettes' cards hold.
  const kTransparent = -1;
  const kBlack = 0xff000000;
  const packed = (r, g, b, a) => (r | g << 8 | b << 16 | a << 24) >>> 0;

  // Where cel `cel` lies in set `set` (its object's position plus its own
  // offset), or null when the set does not show it.
  function placeOf(doll, cel, set) {
    const { positions } = doll.told.sets[set];
    const at = 3 * cel.object;
    if ((cel.sets >> set & 1) === 0 || cel.palette >= doll.told.palettes.length ||
        at + 2 >= positions.length || positions[at] === 0) return null;
    return { left: positions[at + 1] + cel.x, top: positions[at + 2] + cel.y };
  }

  // The rows and columns of `cel` at `place` that fall inside the doll.
  function clip(doll, cel, place) {
    const { width, height } = doll.told;
    return { x0: Math.max(0, -place.left), x1: Math.min(cel.width, width - place.left),
             y0: Math.max(0, -place.top), y1: Math.min(cel.height, height - place.top) };
  }

  // Set `set` as one key a pixel. A cel of colours with pixels neither
  // opaque nor transparent needs what lies under it: such a set is drawn
  // cel by cel instead (`blended`).
  function flatten(doll, set) {
    const { width, height, cels, palettes } = doll.told;
    const keys = new Int32Array(width * height).fill(kTransparent);
    const direct = [];
    const first = palettes.length * 256;
    let blended = false;
    for (const cel of cels) {
      const place = placeOf(doll, cel, set);
      if (!place) continue;
      const { x0, x1, y0, y1 } = clip(doll, cel, place);
      const { pixels } = cel;
      for (let y = y0; y < y1; ++y) {
        const row = (place.top + y) * width + place.left;
        for (let x = x0; x < x1; ++x) {
          if (keys[row + x] !== kTransparent) continue;
          const at = y * cel.width + x;
          if (cel.bits !== 32) {
            if (pixels[at] !== 0) keys[row + x] = cel.palette * 256 + pixels[at];
          } else if (pixels[4 * at + 3] === 255) {
            keys[row + x] = first + direct.length;
            direct.push(packed(pixels[4 * at], pixels[4 * at + 1], pixels[4 * at + 2], 255));
          } else if (pixels[4 * at + 3] !== 0) {
            blended = true;
          }
        }
      }
    }
    return { keys, direct: Uint32Array.from(direct), blended };
  }

  // The colours of palette `p`'s group `group` (its first when it has
  // fewer): as its card holds them once it is open, as the file holds them
  // before.
  function coloursOf(doll, p, group) {
    const card = doll.cards[p];
    if (card && card.palette) {
      const { layers } = card.palette;
      const layer = layers[group < layers.length ? group : 0];
      return { rgb: layer.pixels, count: Math.min(256, entries(layer)) };
    }
    const { groups } = doll.told.palettes[p];
    const rgb = groups[group < groups.length ? group : 0] || new Uint8Array(0);
    return { rgb, count: rgb.length / 3 };
  }

  // Every palette's 256 indices in the group shown; an index past a group's
  // colours is black, as drawing a set takes it.
  function lookUp(doll) {
    const { table } = doll;
    table.fill(kBlack);
    doll.told.palettes.forEach((_, p) => {
      const { rgb, count } = coloursOf(doll, p, doll.group);
      for (let i = 0; i < count; ++i) table[p * 256 + i] = packed(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 255);
    });
    return table;
  }

  // `source` (red, green, blue, alpha) over the pixel at `at` of `into`,
  // both straight alpha, in whole numbers as the native drawing does.
  function over(source, into, at) {
    const a = source[3];
    if (a === 255 || into[at + 3] === 0) {
      into.set(source, at);
      return;
    }
    const below = Math.floor(into[at + 3] * (255 - a) / 255);
    const alpha = a + below;
    for (let c = 0; c < 3; ++c) into[at + c] = Math.floor((source[c] * a + into[at + c] * below) / alpha);
    into[at + 3] = alpha;
  }

  // The set cel by cel, the last listed first.
  function drawEach(doll, table) {
    const { width, cels } = doll.told;
    const into = doll.image.data;
    into.fill(0);
    const rgba = new Uint8Array(4);
    for (let k = cels.length - 1; k >= 0; --k) {
      const cel = cels[k];
      const place = placeOf(doll, cel, doll.set);
      if (!place) continue;
      const { x0, x1, y0, y1 } = clip(doll, cel, place);
      for (let y = y0; y < y1; ++y) {
        for (let x = x0; x < x1; ++x) {
          const at = y * cel.width + x;
          if (cel.bits !== 32) {
            if (cel.pixels[at] === 0) continue;
            const c = table[cel.palette * 256 + cel.pixels[at]];
            rgba.set([c & 255, c >> 8 & 255, c >> 16 & 255, 255]);
          } else {
            rgba.set(cel.pixels.subarray(4 * at, 4 * at + 4));
            if (rgba[3] === 0) continue;
          }
          over(rgba, into, 4 * ((place.top + y) * width + place.left + x));
        }
      }
    }
  }

  function draw(doll) {
    const started = performance.now();
    const table = lookUp(doll);
    const { keys, direct, blended } = doll.flat;
    if (blended) {
      drawEach(doll, table);
    } else {
      const out = doll.pixels;
      const first = table.length;
      for (let i = 0; i < keys.length; ++i) {
        const k = keys[i];
        out[i] = k < 0 ? 0 : k < first ? table[k] : direct[k - first];
      }
    }
    doll.context.putImageData(doll.image, 0, 0);
    const { canvas } = doll;
    canvas.dataset.drawMs = (performance.now() - started).toFixed(3);
    canvas.dataset.shown = doll.set + ' ' + doll.group;
    canvas.setAttribute('aria-label', 'The doll of ' + doll.told.configuration + ', set ' + doll.set +
                        ' in palette group ' + doll.group);
    for (const [row, chosen] of [[doll.setButtons, doll.set], [doll.groupButtons, doll.group]]) {
      row.forEach((button, k) => button.setAttribute('aria-pressed', String(k === chosen)));
    }
  }

  // Set `set` shown, in its own group.
  function showSet(doll, set) {
    doll.set = set;
    doll.group = doll.told.sets[set].group;
    doll.flat = flatten(doll, set);
    draw(doll);
  }

  function choiceButtons(row, count, enabled, chosen) {
    const buttons = [];
    for (let k = 0; k < count; ++k) {
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = String(k);
      button.disabled = !enabled(k);
      button.addEventListener('click', () => chosen(k));
      row.appendChild(button);
      buttons.push(button);
    }
    return buttons;
  }

  // The doll on its card: a button a set (those the configuration uses)
  // and a button a palette group, each one click.
  function placeDoll(card, told) {
    const canvas = card.querySelector('.doll canvas');
    canvas.width = told.width;
    canvas.height = told.height;
    const context = canvas.getContext('2d');
    const image = context.createImageData(told.width, told.height);
    const doll = { told, cards: [], canvas, context, image, pixels: new Uint32Array(image.data.buffer),
                   table: new Uint32Array(told.palettes.length * 256) };
    // A configuration names a set's group with one digit.
    const groups = Math.min(10, Math.max(1, ...told.palettes.map((p) => p.groups.length)));
    doll.setButtons = choiceButtons(card.querySelector('.set-choice'), told.sets.length,
                                    (k) => told.sets[k].used, (k) => {
                                      showSet(doll, k);
                                      status.textContent = 'Showing set ' + k + ' in palette group ' + doll.group + '.';
                                    });
    doll.groupButtons = choiceButtons(card.querySelector('.group-choice'), groups, () => true, (k) => {
      doll.group = k;
      draw(doll);
      status.textContent = 'Showing set ' + doll.set + ' in palette group ' + k + '.';
    });
    const first = told.sets.findIndex((s) => s.used);
    showSet(doll, first < 0 ? 0 : first);
    return doll;
  }

  // The module keeps one unpacked archive for readSet: sets dropped while
  // another opens wait for it.
  let opening = Promise.resolve();
  function inTurn(job) {
    const run = opening.then(job);
    opening = run.catch(() => {});
    return run;
  }

  // The set `which` (an archive, or a configuration among `files`) on a
  // card of its own: the doll first, then each of its palettes on a card
  // as any palette, whose colours the doll then takes. The card, its doll
  // (card.doll) unless the set was refused.
  async function openSetOnto(m, which, files) {
    const card = document.getElementById('set-card').content.firstElementChild.cloneNode(true);
    card.querySelector('.name').textContent = which;
    document.getElementById('palettes').appendChild(card);
    const started = performance.now();
    const contents = [];
    for (const file of files) contents.push(new Uint8Array(await file.arrayBuffer()));
    const told = await inTurn(async () => {
      // An archive is unpacked in one task and read in the next.
      let reading = performance.now();
      const unpacked = m.unpackSet(files.map((f) => f.name), contents, which);
      const unpackMs = performance.now() - reading;
      if (!unpacked.refusal && extensionOf(which) === m.setExtensions().archive) await later();
      reading = performance.now();
      const read = unpacked.refusal ? unpacked : m.readSet();
      card.dataset.readMs = unpackMs.toFixed(3) + ' + ' + (performance.now() - reading).toFixed(3);
      return read;
    });
    tell(card, told);
    if (!told.cels) {
      card.querySelector('.shown').hidden = true;
      card.dataset.openMs = (performance.now() - started).toFixed(3);
      return card;
    }
    await later();
    const doll = placeDoll(card, told);
    card.doll = doll;
    card.dataset.dollMs = (performance.now() - started).toFixed(3);
    for (const [k, palette] of told.palettes.entries()) {
      await later();
      const paletteCard = newCard(palette.name, card.querySelector('.set-palettes'));
      if (await openOnto(m, paletteCard, palette.name, palette.bytes)) {
        doll.cards[k] = paletteCard;
        paletteCard.onColours = () => draw(doll);
      }
    }
    draw(doll);
    card.dataset.openMs = (performance.now() - started).toFixed(3);
    return card;
  }

  const extensionOf = (name) => name.slice(name.lastIndexOf('.') + 1).toLowerCase();

  // Files chosen or dropped: each archive a set; each configuration a set
  // of the files chosen with it (its cels and palettes among them); any
  // other file a palette.
  async function openFiles(chosen) {
    const m = await module;
    const files = [...chosen];
    const kinds = m.setExtensions();
    const configurations = files.filter((f) => extensionOf(f.name) === kinds.configuration);
    const partOfSet = (f) => configurations.length > 0 && extensionOf(f.name) !== kinds.archive;
    const sets = files.filter((f) => extensionOf(f.name) === kinds.archive).map((f) => [f.name, [f]])
      .concat(configurations.map((f) => [f.name, files.filter(partOfSet)]));
    for (const [which, parts] of sets) {
      status.textContent = 'Opening ' + which + '…';
      const card = await openSetOnto(m, which, parts);
      status.textContent = card.doll ? 'Opened ' + which + ': set ' + card.doll.set + ' in palette group ' +
        card.doll.group + '.' : card.querySelector('.refusal').textContent;
    }
    for (const file of files.filter((f) => extensionOf(f.name) !== kinds.archive && !partOfSet(f))) {
      const bytes = new Uint8Array(await file.arrayBuffer());
      const card = newCard(file.name);
      status.textContent = 'Opening ' + file.name + '…';
      const opened = await openOnto(m, card, file.name, bytes);
      status.textContent = opened ? 'Opened ' + file.name + '.' : card.querySelector('.refusal').textContent;
    }
    document.getElementById('convert').hidden =
      ![...document.querySelectorAll('.palette')].some((c) => c.palette);
  }

  document.getElementById('files').addEventListener('change', (e) => openFiles(e.target.files));
  document.getElementById('convert-all').addEventListener('click', async () => convertAll(await module));
  const drop = document.getElementById('drop');
  for (const type of ['dragenter', 'dragover']) {
    drop.addEventListener(type, (e) => { e.preventDefault(); drop.classList.add('over'); });
  }
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (e) => {
    e.preventDefault();
    drop.classList.remove('over');
    openFiles(e.dataTransfer.files);
  });
})();
