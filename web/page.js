'use strict';
// The page: palette files in, one card each out. Reading and writing
// palettes is the module's, through the bindings openPalette and
// savePalette (page_bindings.cpp); this script shows what they answer, and
// keeps the colours picked and their undo.
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
  }
  // The formats a palette can be written as, from the host's table of
  // formats, and the extension palettes are chosen by.
  let written = [];
  function offerFormats(m) {
    written = m.writtenFormats().map((f) => ({
      extension: f.extension, label: f.name + (f.swatch ? ' swatch' : '') + ' (.' + f.extension + ')' }));
    const choice = document.getElementById('convert-format');
    for (const format of written) choice.add(new Option(format.label, format.extension));
    const extension = m.paletteExtension();
    document.getElementById('files').accept = '.' + extension + ',.' + extension.toUpperCase();
  }
  const module = loadModule().then((m) => {
    warmUp(m);
    offerFormats(m);
    status.textContent = 'Choose or drop palettes to open them.';
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

  function newCard(name) {
    const card = document.getElementById('palette-card').content.firstElementChild.cloneNode(true);
    card.querySelector('.name').textContent = name;
    for (const tools of card.querySelectorAll('.tools')) tools.hidden = true;
    document.getElementById('palettes').appendChild(card);
    return card;
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

  async function openFiles(files) {
    const m = await module;
    for (const file of files) {
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
