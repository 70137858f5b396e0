<div class="pk-treetools">
  <label class="pk-sr" for="pk-treefilter">Filter the contents</label>
  <input id="pk-treefilter" class="pk-field" type="search" placeholder="Filter contents" autocomplete="off" spellcheck="false">
  <button type="button" class="pk-button pk-collapse" id="pk-collapse" title="Collapse all"><span aria-hidden="true" class="pk-collapse-icon"></span><span class="pk-sr">Collapse all</span></button>
</div>
<ul id="pk-tree" class="pk-tree">[#content_tree#]</ul>
<p id="pk-treeempty" class="pk-status" hidden>No heading matches.</p>
<script>[#tree_ids#]</script>
