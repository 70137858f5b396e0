<script>[#tree_ids#]</script><ul class="tree">[#content_tree#]</ul>
