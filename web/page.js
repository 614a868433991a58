'use strict';
// The page: palette files in, one card each out. Reading and writing
// palettes is the module's, through the bindings openPalette and
// savePalette (page_bindings.cpp); this script shows what they answer, and
// keeps the colours picked and their undo.
(() => {
  const status = document.getElementById('status');
  const picker = document.getElementById('picker');
  let picking = null;  // {card, layer, index} of the swatch the picker edits

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
    m.openPalette('warm-up.' + m.paletteExtension(), m.warmUpPalette());
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

  function paint(button, layer, index) {
    const value = hex(layer.pixels, index);
    button.style.background = value;
    button.dataset.hex = value;
    button.setAttribute('aria-label', layer.name + ', colour ' + index + ': ' + value);
  }

  // Arrow keys move along the grid (16 to a row); Home and End to its ends.
  function moveFocus(grid, event) {
    const buttons = grid.children;
    const at = Array.prototype.indexOf.call(buttons, event.target);
    const step = { ArrowLeft: -1, ArrowRight: 1, ArrowUp: -16, ArrowDown: 16 }[event.key];
    let to = step !== undefined ? at + step : event.key === 'Home' ? 0
      : event.key === 'End' ? buttons.length - 1 : -1;
    if (to < 0 || to >= buttons.length || (step === undefined && to === -1)) return;
    event.preventDefault();
    buttons[at].tabIndex = -1;
    buttons[to].tabIndex = 0;
    buttons[to].focus();
  }

  function showGroup(card, layer, into) {
    const section = document.createElement('section');
    section.className = 'group';
    const title = document.createElement('h3');
    title.textContent = layer.name;
    const grid = document.createElement('div');
    grid.className = 'grid';
    grid.setAttribute('role', 'group');
    grid.setAttribute('aria-label', layer.name + ': ' + layer.rows * layer.columns +
                      ' colours; arrow keys move, Enter changes one');
    for (let i = 0; i < layer.rows * layer.columns; ++i) {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'swatch';
      button.tabIndex = i === 0 ? 0 : -1;
      paint(button, layer, i);
      button.addEventListener('click', () => {
        picking = { card, layer, index: i, button };
        picker.value = button.dataset.hex;
        picker.click();
      });
      grid.appendChild(button);
    }
    grid.addEventListener('keydown', (e) => moveFocus(grid, e));
    section.append(title, grid);
    into.appendChild(section);
  }

  function tell(card, told) {
    const refusal = card.querySelector('.refusal');
    refusal.textContent = told.refusal;
    refusal.hidden = !told.refusal;
    const notes = card.querySelector('.notes');
    notes.textContent = '';
    for (const note of told.notes) {
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
    download(m.FS.readFile(told.file), told.name);
    status.textContent = told.done.length ? told.done.join('; ') : 'Saved ' + told.name + '.';
  }

  function undo(card) {
    const last = card.palette.undo.pop();
    if (!last) return;
    last.layer.pixels.set(last.colour, last.index * 3);
    paint(last.button, last.layer, last.index);
    card.querySelector('.undo').disabled = card.palette.undo.length === 0;
    status.textContent = 'Undone: ' + last.button.getAttribute('aria-label');
  }

  function showCard(m, name, bytes, told, ms) {
    const card = document.getElementById('palette-card').content.firstElementChild.cloneNode(true);
    card.dataset.openMs = ms.toFixed(3);
    card.querySelector('.name').textContent = name;
    card.querySelector('.form').textContent = told.form || '';
    card.querySelector('.history').textContent =
      told.history ? 'History note: ' + told.history : '';
    tell(card, told);
    document.getElementById('palettes').appendChild(card);
    if (!told.layers) {
      card.querySelector('.tools').hidden = true;
      return card;
    }
    card.palette = { name, bytes, layers: told.layers, undo: [] };
    const formats = card.querySelector('.format');
    for (const format of written) formats.add(new Option(format.label, format.extension));
    const choice = card.querySelector('.layer');
    told.layers.forEach((layer, i) => choice.add(new Option(layer.name, String(i))));
    card.querySelector('.which').hidden = told.layers.length < 2;
    const groups = card.querySelector('.groups');
    for (const layer of told.layers) showGroup(card, layer, groups);
    card.querySelector('.save').addEventListener('click', () => save(m, card));
    card.querySelector('.undo').addEventListener('click', () => undo(card));
    card.addEventListener('keydown', (e) => {
      if ((e.ctrlKey || e.metaKey) && e.key === 'z') { e.preventDefault(); undo(card); }
    });
    return card;
  }

  picker.addEventListener('change', () => {
    if (!picking) return;
    const { card, layer, index, button } = picking;
    const value = picker.value;
    const colour = [1, 3, 5].map((k) => parseInt(value.slice(k, k + 2), 16));
    card.palette.undo.push({ layer, index, button, colour: layer.pixels.slice(index * 3, index * 3 + 3) });
    layer.pixels.set(colour, index * 3);
    paint(button, layer, index);
    card.querySelector('.undo').disabled = false;
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
  }

  async function openFiles(files) {
    const m = await module;
    for (const file of files) {
      const bytes = new Uint8Array(await file.arrayBuffer());
      const started = performance.now();
      const told = m.openPalette(file.name, bytes);
      showCard(m, file.name, bytes, told, performance.now() - started);
      status.textContent = told.refusal || 'Opened ' + file.name + '.';
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
